// Test helper: makes engine calls from Java, so that the control natives can
// be checked in a JVM without the rest of the project.
#include <jni.h>

#include "standin_entries.h"

extern "C" {

// web_url("a", NULL, "\xff\x01z", LAST) then web_get_int_property(7).
JNIEXPORT void JNICALL Java_StandinControlCheck_callEngine(JNIEnv*, jclass) {
    web_url("a", nullptr, "\xff\x01z", "LAST");
    web_get_int_property(7);
}

// InitWebVuser(), giving back the int it throws, or what it returns.
JNIEXPORT jint JNICALL Java_StandinControlCheck_initCatchingInt(JNIEnv*, jclass) {
    try {
        return InitWebVuser();
    } catch (int thrown) {
        return thrown;
    }
}

}  // extern "C"
