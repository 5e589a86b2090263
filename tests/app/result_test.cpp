#include "app/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace veldra {
namespace {

Result<int> half(int n) {
  if (n % 2 != 0) return failure(Failure::Kind::kRefused, std::to_string(n) + " is odd");
  return n / 2;
}

TEST(Results, AValueOrAFailureWithItsKindAndWords) {
  const Result<int> four = half(8);
  ASSERT_TRUE(four);
  EXPECT_TRUE(four.ok());
  EXPECT_EQ(four.value(), 4);
  EXPECT_EQ(*four, 4);
  EXPECT_TRUE(four.status());

  const Result<int> odd = half(7);
  ASSERT_FALSE(odd);
  EXPECT_EQ(odd.kind(), Failure::Kind::kRefused);
  EXPECT_EQ(odd.message(), "7 is odd");
  const Status status = odd.status();
  ASSERT_FALSE(status);
  EXPECT_EQ(status.kind(), Failure::Kind::kRefused);
  EXPECT_EQ(status.message(), "7 is odd");
  EXPECT_THROW((void)odd.value(), std::bad_variant_access);
}

TEST(Results, AStatusIsDoneUntilSomethingFailed) {
  Status done;
  EXPECT_TRUE(done);
  done = failure(Failure::Kind::kCannotWrite, "cannot write a.fil: No space left on device");
  ASSERT_FALSE(done.ok());
  EXPECT_EQ(done.failure().kind, Failure::Kind::kCannotWrite);
  EXPECT_EQ(done.message(), "cannot write a.fil: No space left on device");
}

// A value that cannot be copied moves out of its result; a string value is
// not taken for a failure's message.
TEST(Results, ValuesMoveOutAndStringsStayValues) {
  Result<std::unique_ptr<int>> held = std::make_unique<int>(5);
  ASSERT_TRUE(held);
  std::unique_ptr<int> taken = std::move(held).value();
  EXPECT_EQ(*taken, 5);

  const Result<std::string> text = std::string("cannot write");
  ASSERT_TRUE(text);
  EXPECT_EQ(text.value(), "cannot write");
  EXPECT_EQ(text->size(), 12u);
}

}  // namespace
}  // namespace veldra
