// Object base, owning lists and stacks.
#include <gtest/gtest.h>

#include <vector>

#include "lib/core/kyexceptions.h"
#include "lib/core/kyobjects.h"
#include "resstrings.h"

namespace {

std::vector<int>* gFreed = nullptr;

class TPoint : public TKyObject {
 public:
  KY_OBJECT_CREATE(TPoint)
  TPoint() = default;
  TPoint(int x, int y) : X(x), Y(y) {}
  ~TPoint() override {
    if (gFreed) gFreed->push_back(X);
  }
  int X = 0, Y = 0;

  void Assign(const TKyObject& source) override {
    if (auto* p = dynamic_cast<const TPoint*>(&source)) {
      X = p->X;
      Y = p->Y;
      Changed();
    }
  }
  bool Equals(const TKyObject& other) const override {
    auto* p = dynamic_cast<const TPoint*>(&other);
    return p && p->X == X && p->Y == Y;
  }
  int Compare(const TKyObject& other) const override { return X - static_cast<const TPoint&>(other).X; }
};

class TPoint3 : public TPoint {
 public:
  KY_OBJECT_CREATE(TPoint3)
  int Z = 0;
};

class TForeign : public TKyBaseObject {};

class FreedLog : public ::testing::Test {
 protected:
  void SetUp() override { gFreed = &Freed; }
  void TearDown() override { gFreed = nullptr; }
  std::vector<int> Freed;
};

}  // namespace

TEST(KyObject, DefaultCloneAndChange) {
  TPoint p;
  EXPECT_TRUE(p.IsDefault());
  p.X = 3;
  EXPECT_FALSE(p.IsDefault());
  int notified = 0;
  TKyObject* sender = nullptr;
  p.OnChange = [&](TKyObject* s) { ++notified, sender = s; };
  TPoint q(5, 6);
  p.Assign(q);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(sender, &p);

  TPoint3 d;
  d.X = 9;
  TKyObjectPtr c = d.Clone();
  ASSERT_NE(dynamic_cast<TPoint3*>(c.get()), nullptr);  // same class, by the virtual constructor
  EXPECT_TRUE(c->Equals(d));
  EXPECT_NE(c.get(), &d);
  EXPECT_NE(d.CloneAs<TPoint>(), nullptr);
  EXPECT_EQ(d.CloneAs<TKyIntegerArray>(), nullptr);
  EXPECT_FALSE(TKyIntegerArray().Equals(p));
}

TEST_F(FreedLog, ObjectListOwnsAndClearsLastToFirst) {
  {
    TKyObjectList list;
    for (int i = 1; i <= 3; ++i) list.Add(std::make_unique<TPoint>(i, 0));
    list.Add(nullptr);
    list.Delete(0);
    EXPECT_EQ(Freed, (std::vector<int>{1}));
    TKyBaseObject* taken = list.Extract(0);
    EXPECT_EQ(list.Count(), 2);
    delete taken;
    Freed.clear();
    list.Add(std::make_unique<TPoint>(7, 0));
    list.Clear();
    EXPECT_EQ(Freed, (std::vector<int>{7, 3}));
    EXPECT_EQ(list.Count(), 0);
    list.Add(std::make_unique<TPoint>(8, 0));
  }
  EXPECT_EQ(Freed.back(), 8);  // destroying clears
  Freed.clear();
  TPoint kept(4, 0);
  {
    TKyObjectList borrowed;
    borrowed.OwnsObjects = false;
    borrowed.Add(&kept);
    borrowed.Delete(0);
    borrowed.Add(&kept);
  }
  EXPECT_TRUE(Freed.empty());
  {
    TKyCustomList plain;
    plain.Add(std::make_unique<TPoint>(11, 0));
  }
  EXPECT_EQ(Freed, (std::vector<int>{11}));
  TKyObjectList list;
  EXPECT_THROW(list.Items(0), EListError);
  EXPECT_THROW(list.Insert(1, nullptr), EListError);
}

TEST_F(FreedLog, ObjectListAssignEqualsAndSort) {
  TKyObjectList a;
  a.Add(std::make_unique<TPoint>(3, 1));
  a.Add(nullptr);
  a.Add(std::make_unique<TPoint3>());
  TKyObjectList b;
  b.Add(std::make_unique<TPoint>(99, 0));
  b.Assign(a);
  EXPECT_EQ(Freed, (std::vector<int>{99}));
  ASSERT_EQ(b.Count(), 3);
  EXPECT_NE(b.Items(0), a.Items(0));
  EXPECT_EQ(b.Items(1), nullptr);
  EXPECT_NE(b.ItemAs<TPoint3>(2), nullptr);
  EXPECT_TRUE(b.Equals(a));
  b.ItemAs<TPoint>(0)->Y = 2;
  EXPECT_FALSE(b.Equals(a));

  TKyObjectList s;
  for (int x : {5, 1, 4, 1, 3}) s.Add(std::make_unique<TPoint>(x, s.Count()));
  s.Sort();
  std::vector<int> xs, ys;
  for (int i = 0; i < s.Count(); ++i) xs.push_back(s.ItemAs<TPoint>(i)->X), ys.push_back(s.ItemAs<TPoint>(i)->Y);
  EXPECT_EQ(xs, (std::vector<int>{1, 1, 3, 4, 5}));
  EXPECT_EQ(ys[0], 1);
  EXPECT_EQ(ys[1], 3);

  s.Add(new TForeign);
  try {
    s.Sort();
    FAIL();
  } catch (const EKyException& e) {
    EXPECT_EQ(e.Message(), u"List items must be derived from TKyObject in order to enable sorting!");
  }
  TKyObjectList c;
  c.Add(std::make_unique<TPoint>(1, 0));
  EXPECT_THROW(c.Assign(s), EKyException);
  EXPECT_EQ(c.Count(), 1);  // a failed copy changes nothing
}

TEST_F(FreedLog, ObjectStack) {
  {
    TKyObjectStack stack;
    EXPECT_EQ(stack.Pop(), nullptr);
    EXPECT_EQ(stack.Top(), nullptr);
    stack.Drop();  // nothing to drop
    for (int i = 1; i <= 4; ++i) stack.Push(new TPoint(i, 0));
    EXPECT_EQ(static_cast<TPoint*>(stack.Top())->X, 4);
    {
      std::unique_ptr<TKyBaseObject> popped(stack.Pop());  // the caller owns it now
      EXPECT_EQ(static_cast<TPoint*>(popped.get())->X, 4);
      EXPECT_TRUE(Freed.empty());
    }
    Freed.clear();
    stack.Drop();
    EXPECT_EQ(Freed, (std::vector<int>{3}));
  }
  EXPECT_EQ(Freed, (std::vector<int>{3, 2, 1}));
}

TEST_F(FreedLog, ObjectsSearch) {
  TKyObjects objs;
  for (int x : {7, 2, 9, 4}) objs.List.Add(std::make_unique<TPoint>(x, 0));
  TPoint key(9, 0);
  EXPECT_EQ(objs.IndexOf(key), 2);
  objs.Sort();
  EXPECT_TRUE(objs.Sorted);
  for (int x : {2, 4, 7, 9}) {
    TPoint k(x, 0);
    ASSERT_NE(objs.Find(k), nullptr);
    EXPECT_EQ(static_cast<TPoint*>(objs.Find(k))->X, x);
  }
  TPoint missing(5, 0);
  EXPECT_EQ(objs.IndexOf(missing), -1);
  EXPECT_EQ(objs.Find(missing), nullptr);
  TKyObjectPtr copy = objs.Clone();
  EXPECT_TRUE(copy->Equals(objs));
  EXPECT_TRUE(static_cast<TKyObjects&>(*copy).Sorted);
  EXPECT_FALSE(objs.IsDefault());
  objs.Clear();
  EXPECT_TRUE(objs.IsDefault());
}

TEST(IntegerArray, RangeCapacityAndCopy) {
  TKyIntegerArray a;
  EXPECT_EQ(a.Count(), 0);
  EXPECT_GE(a.Capacity(), 8);
  for (int i = 0; i < 20; ++i) a.Add(i * i);
  EXPECT_EQ(a.Count(), 20);
  EXPECT_GE(a.Capacity(), 20);
  EXPECT_EQ(a.Items(19), 361);
  a.SetItem(0, -5);
  EXPECT_EQ(a.Items(0), -5);
  try {
    a.Items(20);
    FAIL();
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), u"Out of array range");
  }
  EXPECT_THROW(a.SetItem(-1, 0), ERangeError);
  int cap = a.Capacity();
  a.SetCapacity(2);
  EXPECT_EQ(a.Capacity(), cap);

  TKyIntegerArray b;
  b.Assign(a);
  EXPECT_TRUE(b.Equals(a));
  b.SetItem(3, 0);
  EXPECT_FALSE(b.Equals(a));
  b.Clear();
  EXPECT_EQ(b.Count(), 0);
  EXPECT_THROW(b.Items(0), ERangeError);
  EXPECT_TRUE(b.IsDefault());
}

TEST(IntegerStack, PushPopTop) {
  TKyIntegerStack s;
  EXPECT_EQ(s.Top(), 0);
  EXPECT_EQ(s.TopIndex(), -1);
  try {
    s.Pop();
    FAIL();
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), u"Stack is empty");
  }
  for (int i = 1; i <= 30; ++i) s.Push(i);
  EXPECT_EQ(s.Top(), 30);
  EXPECT_EQ(s.TopIndex(), 29);
  int sum = 0;
  while (s.Count() > 0) sum += s.Pop();
  EXPECT_EQ(sum, 465);
  TKyObjectPtr c = TKyIntegerStack().Clone();
  EXPECT_NE(dynamic_cast<TKyIntegerStack*>(c.get()), nullptr);
}

TEST(StringStack, PushPop) {
  TKyStringStack s;
  EXPECT_EQ(s.Pop(), u"");
  s.Push(u"a");
  s.Push(u"");
  s.Push(u"c");
  EXPECT_EQ(s.Pop(), u"c");
  EXPECT_EQ(s.Pop(), u"");
  EXPECT_EQ(s.Count(), 1);
  EXPECT_EQ(s.Pop(), u"a");
  EXPECT_EQ(s.Count(), 0);
}

TEST(KyEvent, EmptyHandlersCopiesAndReset) {
  TKyObject::TNotifyEvent e;
  EXPECT_FALSE(e);
  e = std::function<void(TKyObject*)>();  // an empty function is no handler
  EXPECT_FALSE(e);
  int calls = 0;
  e = [&](TKyObject*) { ++calls; };
  ASSERT_TRUE(e);
  TKyObject::TNotifyEvent copy = e;
  copy(nullptr);
  e(nullptr);
  EXPECT_EQ(calls, 2);
  e = nullptr;
  EXPECT_FALSE(e);
  EXPECT_TRUE(copy);
}
