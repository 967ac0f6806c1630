// Node storage of the XML model: fixed-size objects carved from large slabs, so that
// a big document costs few allocations and touches fresh memory in big pages.
#pragma once

#include <cstddef>

void* XmlPoolAlloc(size_t size);
void XmlPoolFree(void* p, size_t size);
