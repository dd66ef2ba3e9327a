// Threshold.pell_wick: copies the Java matrix, runs the printed scan, and
// turns every failure into a pending Java exception.
#include "Threshold.h"  // generated from Threshold.java: the signature is checked
#include "jni/binding.h"

extern "C" JNIEXPORT jint JNICALL Java_Threshold_pell_1wick(JNIEnv* env, jclass,
                                                            jobjectArray matrix, jint start,
                                                            jint end) {
  return pellwick::jni::guarded(env, jint{0}, [&]() -> jint {
    pellwick::jni::NativeMatrix native;
    if (!pellwick::jni::copy_matrix(env, matrix, native)) return 0;
    return pellwick::select_threshold(native, start, end);
  });
}
