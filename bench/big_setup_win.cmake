# The setup of the install benchmark's generated payload (bench/install-big.sh configures
# the build with TV_BENCH_PAYLOAD and clears it again). A folder that is gone is ignored,
# so that a benchmark stopped half-way leaves a build that still configures.
set(TV_BENCH_PAYLOAD "" CACHE PATH "Payload folder of the install benchmark's setup (set by bench/install-big.sh)")
if(TV_BENCH_PAYLOAD AND IS_DIRECTORY "${TV_BENCH_PAYLOAD}")
  tramvelon_add_setup(TramBig PAYLOAD ${TV_BENCH_PAYLOAD} OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/setups/big)
endif()
