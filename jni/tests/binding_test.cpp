// The native entry point driven through a scripted JNI environment, to reach
// what a real JVM makes hard to reach: a failed allocation, and a local
// reference left behind on any path.
#include <gtest/gtest.h>
#include <jni.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Threshold.h"
#include "testing/capture.h"

namespace {

// Fails the nothrow allocation of the matrix copy, when armed, and keeps the
// copies that are alive.
bool fail_matrix_allocation = false;
std::set<void*> live_matrix_copies;
constexpr std::size_t kMatrixBytes = 256 * 256 * sizeof(jint);

struct FakeArray {
  std::vector<jint> values;
};
struct FakeClass {
  std::string name;
};

// The JVM as the binding sees it: one matrix, local references, exceptions.
struct FakeJvm {
  std::optional<std::vector<std::optional<FakeArray>>> matrix;
  int live_local_refs = 0;
  std::string pending;  // class name of the pending exception, if any
  std::string message;
  std::vector<std::unique_ptr<FakeClass>> classes;
};
FakeJvm* jvm = nullptr;

jsize JNICALL get_array_length(JNIEnv*, jarray array) {
  if (static_cast<void*>(array) == &jvm->matrix)
    return static_cast<jsize>(jvm->matrix->size());
  return static_cast<jsize>(reinterpret_cast<FakeArray*>(array)->values.size());
}

jobject JNICALL get_object_array_element(JNIEnv*, jobjectArray, jsize index) {
  auto& row = (*jvm->matrix)[index];
  if (!row) return nullptr;
  ++jvm->live_local_refs;
  return reinterpret_cast<jobject>(&*row);
}

void JNICALL get_int_array_region(JNIEnv*, jintArray array, jsize start, jsize length,
                                  jint* out) {
  const auto& values = reinterpret_cast<FakeArray*>(array)->values;
  for (jsize i = 0; i < length; ++i) out[i] = values[start + i];
}

void JNICALL delete_local_ref(JNIEnv*, jobject) { --jvm->live_local_refs; }

jboolean JNICALL exception_check(JNIEnv*) { return jvm->pending.empty() ? JNI_FALSE : JNI_TRUE; }

jclass JNICALL find_class(JNIEnv*, const char* name) {
  jvm->classes.push_back(std::make_unique<FakeClass>(FakeClass{name}));
  ++jvm->live_local_refs;
  return reinterpret_cast<jclass>(jvm->classes.back().get());
}

jint JNICALL throw_new(JNIEnv*, jclass type, const char* message) {
  jvm->pending = reinterpret_cast<FakeClass*>(type)->name;
  jvm->message = message;
  return 0;
}

struct Call {
  jint level;
  std::string out;
};

Call call(FakeJvm& fake, jint start, jint end) {
  JNINativeInterface_ functions{};
  functions.GetArrayLength = get_array_length;
  functions.GetObjectArrayElement = get_object_array_element;
  functions.GetIntArrayRegion = get_int_array_region;
  functions.DeleteLocalRef = delete_local_ref;
  functions.ExceptionCheck = exception_check;
  functions.FindClass = find_class;
  functions.ThrowNew = throw_new;
  JNIEnv env;
  env.functions = &functions;
  jvm = &fake;
  const auto matrix =
      fake.matrix ? static_cast<jobjectArray>(static_cast<void*>(&fake.matrix)) : nullptr;
  Call result{};
  result.out = pellwick::testing::captured_stdout(
      [&] { result.level = Java_Threshold_pell_1wick(&env, nullptr, matrix, start, end); });
  jvm = nullptr;
  return result;
}

FakeJvm matrix_with_cell(int row, int column, jint count) {
  FakeJvm fake;
  fake.matrix.emplace(256, FakeArray{std::vector<jint>(256, 0)});
  (*fake.matrix)[row]->values[column] = count;
  return fake;
}

TEST(Binding, CopiesTheMatrixScansAndReleasesEverything) {
  FakeJvm fake = matrix_with_cell(3, 200, 5);
  const Call c = call(fake, 0, 255);
  EXPECT_EQ(c.level, 3);
  EXPECT_EQ(std::count(c.out.begin(), c.out.end(), '\r'), 256);
  EXPECT_EQ(fake.pending, "");
  EXPECT_EQ(fake.live_local_refs, 0);
  EXPECT_TRUE(live_matrix_copies.empty());
}

struct Malformed {
  const char* name;
  void (*spoil)(FakeJvm&);
  const char* thrown;
  const char* message;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class MalformedMatrix : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedMatrix, ThrowsWritesNothingAndLeavesNothingBehind) {
  FakeJvm fake = matrix_with_cell(3, 200, 5);
  GetParam().spoil(fake);
  const Call c = call(fake, 0, 255);
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(fake.pending, GetParam().thrown);
  EXPECT_EQ(fake.message, GetParam().message);
  EXPECT_EQ(fake.live_local_refs, 0);
  EXPECT_TRUE(live_matrix_copies.empty());
  fail_matrix_allocation = false;
}

INSTANTIATE_TEST_SUITE_P(
    Binding, MalformedMatrix,
    ::testing::Values(
        Malformed{"NullMatrix", [](FakeJvm& f) { f.matrix.reset(); },
                  "java/lang/NullPointerException", "matrix is null"},
        Malformed{"TooFewRows", [](FakeJvm& f) { f.matrix->resize(200); },
                  "java/lang/IllegalArgumentException", "matrix has 200 rows; 256 are required"},
        Malformed{"NullRow", [](FakeJvm& f) { (*f.matrix)[130].reset(); },
                  "java/lang/NullPointerException", "matrix row 130 is null"},
        Malformed{"ShortRow", [](FakeJvm& f) { (*f.matrix)[254]->values.resize(17); },
                  "java/lang/IllegalArgumentException",
                  "matrix row 254 has 17 elements; 256 are required"},
        Malformed{"NoMemoryForTheCopy", [](FakeJvm&) { fail_matrix_allocation = true; },
                  "java/lang/OutOfMemoryError", "no memory for the native copy of the matrix"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// Matrix copies are counted, and fail on demand.
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (size == kMatrixBytes && fail_matrix_allocation) return nullptr;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p != nullptr && size == kMatrixBytes) live_matrix_copies.insert(p);
  return p;
}

// Array allocations all come from malloc, so that this delete[] matches them.
void* operator new[](std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

void operator delete[](void* p) noexcept {
  live_matrix_copies.erase(p);
  std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept { operator delete[](p); }
