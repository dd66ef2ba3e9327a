// org.pellwick.EntropyThreshold: the quiet entry points.
#include "jni/binding.h"
#include "org_pellwick_EntropyThreshold.h"  // generated: the signatures are checked

extern "C" JNIEXPORT jint JNICALL Java_org_pellwick_EntropyThreshold_nativeSelect(
    JNIEnv* env, jclass, jobjectArray matrix, jint start, jint end) {
  return pellwick::jni::guarded(env, jint{0}, [&]() -> jint {
    pellwick::jni::NativeMatrix native;
    if (!pellwick::jni::copy_matrix(env, matrix, native)) return 0;
    return pellwick::select_threshold_quietly(native, start, end);
  });
}

extern "C" JNIEXPORT void JNICALL Java_org_pellwick_EntropyThreshold_nativeScores(
    JNIEnv* env, jclass, jobjectArray matrix, jdoubleArray scores) {
  using pellwick::kLevelCount;
  pellwick::jni::guarded(env, 0, [&] {
    if (scores == nullptr || env->GetArrayLength(scores) < kLevelCount) {
      pellwick::jni::throw_illegal_argument(env, "room for 256 scores is required");
      return 0;
    }
    pellwick::jni::NativeMatrix native;
    if (!pellwick::jni::copy_matrix(env, matrix, native)) return 0;
    double out[kLevelCount];
    pellwick::score_candidates(native, 0, kLevelCount - 1, out);
    env->SetDoubleArrayRegion(scores, 0, kLevelCount, out);
    return 0;
  });
}
