#include <gtest/gtest.h>
#include <vector>
#include "afx/collections.h"

namespace {

// TryReserve keeps what the vector holds, and a request that cannot be
// met leaves the vector as it was.
template <typename T>
void CheckTryReserve() {
  const size_t kTooMany = std::vector<T>().max_size() + 1;
  struct Case {
    size_t n;
    bool ok;
  } cases[] = {{0, true}, {2, true}, {3, true}, {1000, true}, {kTooMany, false}};
  for (const Case& c : cases) {
    std::vector<T> v{1, 2, 3};
    const size_t before = v.capacity();
    EXPECT_EQ(TryReserve(&v, c.n), c.ok) << c.n;
    EXPECT_EQ(v, (std::vector<T>{1, 2, 3})) << c.n;
    if (c.ok) {
      EXPECT_GE(v.capacity(), c.n) << c.n;
    }
    if (c.n <= before || !c.ok) {
      EXPECT_EQ(v.capacity(), before) << c.n;
    }
  }
}

TEST(TryReserve, KeepsContentsAndRefusesTooMany) {
  CheckTryReserve<BYTE>();
  CheckTryReserve<DWORD>();  // counts elements, not bytes
}

}  // namespace
