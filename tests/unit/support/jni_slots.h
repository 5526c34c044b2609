// Every function slot of JNINativeInterface_ (the JNIEnv table), in table
// order, so the fake can fill each one with a stub of the exact type.
//
// Generated once from the JDK 17 jni.h with (one line):
//   sed -n '/^struct JNINativeInterface_ {/,/^};/p' jni.h |
//   grep -o 'JNICALL \*[A-Za-z0-9_]*' |
//   sed 's/JNICALL \*\(.*\)/    FAKEJNI_SLOT(\1),/'
// (then drop the last comma), plus the later slots guarded by JNI_VERSION_*
// at the end. A jni.h with slots not listed here fails the static_assert.
#pragma once

#include <jni.h>

#include <algorithm>
#include <cstddef>

namespace fakejni {

// A string usable as a template argument, so a slot's name lives in its type.
template <std::size_t N>
struct FixedName {
    char text[N];
    constexpr FixedName(const char (&s)[N]) { std::copy_n(s, N, text); }
};

// One table slot: the pointer to the member and the member's name, both in
// the type, so that each slot gets its own stub and its own message.
template <auto Member, FixedName Name>
struct Slot {
    static constexpr auto member = Member;
    static constexpr const char* name = Name.text;
};

// A compile-time list of slots (a type list: a std::tuple of 230 distinct
// types costs seconds of compile time per translation unit).
template <typename... Slots>
struct SlotList {
    static constexpr std::size_t size = sizeof...(Slots);

    // Calls f(S{}) for each slot S, in table order.
    template <typename F>
    static constexpr void for_each(F&& f) {
        (f(Slots{}), ...);
    }
};

// The void* slots reserved0..reserved3 are not functions and are not listed.
inline constexpr std::size_t reserved_slots = 4;

// Naming the member once and getting both the pointer and its spelling is the
// only thing a macro is needed for here.
#define FAKEJNI_SLOT(name) Slot<&JNINativeInterface_::name, #name>
using JniFunctionSlots = SlotList<
    FAKEJNI_SLOT(GetVersion), FAKEJNI_SLOT(DefineClass), FAKEJNI_SLOT(FindClass), FAKEJNI_SLOT(FromReflectedMethod),
    FAKEJNI_SLOT(FromReflectedField), FAKEJNI_SLOT(ToReflectedMethod), FAKEJNI_SLOT(GetSuperclass),
    FAKEJNI_SLOT(IsAssignableFrom), FAKEJNI_SLOT(ToReflectedField), FAKEJNI_SLOT(Throw), FAKEJNI_SLOT(ThrowNew),
    FAKEJNI_SLOT(ExceptionOccurred), FAKEJNI_SLOT(ExceptionDescribe), FAKEJNI_SLOT(ExceptionClear),
    FAKEJNI_SLOT(FatalError), FAKEJNI_SLOT(PushLocalFrame), FAKEJNI_SLOT(PopLocalFrame), FAKEJNI_SLOT(NewGlobalRef),
    FAKEJNI_SLOT(DeleteGlobalRef), FAKEJNI_SLOT(DeleteLocalRef), FAKEJNI_SLOT(IsSameObject), FAKEJNI_SLOT(NewLocalRef),
    FAKEJNI_SLOT(EnsureLocalCapacity), FAKEJNI_SLOT(AllocObject), FAKEJNI_SLOT(NewObject), FAKEJNI_SLOT(NewObjectV),
    FAKEJNI_SLOT(NewObjectA), FAKEJNI_SLOT(GetObjectClass), FAKEJNI_SLOT(IsInstanceOf), FAKEJNI_SLOT(GetMethodID),
    FAKEJNI_SLOT(CallObjectMethod), FAKEJNI_SLOT(CallObjectMethodV), FAKEJNI_SLOT(CallObjectMethodA),
    FAKEJNI_SLOT(CallBooleanMethod), FAKEJNI_SLOT(CallBooleanMethodV), FAKEJNI_SLOT(CallBooleanMethodA),
    FAKEJNI_SLOT(CallByteMethod), FAKEJNI_SLOT(CallByteMethodV), FAKEJNI_SLOT(CallByteMethodA),
    FAKEJNI_SLOT(CallCharMethod), FAKEJNI_SLOT(CallCharMethodV), FAKEJNI_SLOT(CallCharMethodA),
    FAKEJNI_SLOT(CallShortMethod), FAKEJNI_SLOT(CallShortMethodV), FAKEJNI_SLOT(CallShortMethodA),
    FAKEJNI_SLOT(CallIntMethod), FAKEJNI_SLOT(CallIntMethodV), FAKEJNI_SLOT(CallIntMethodA),
    FAKEJNI_SLOT(CallLongMethod), FAKEJNI_SLOT(CallLongMethodV), FAKEJNI_SLOT(CallLongMethodA),
    FAKEJNI_SLOT(CallFloatMethod), FAKEJNI_SLOT(CallFloatMethodV), FAKEJNI_SLOT(CallFloatMethodA),
    FAKEJNI_SLOT(CallDoubleMethod), FAKEJNI_SLOT(CallDoubleMethodV), FAKEJNI_SLOT(CallDoubleMethodA),
    FAKEJNI_SLOT(CallVoidMethod), FAKEJNI_SLOT(CallVoidMethodV), FAKEJNI_SLOT(CallVoidMethodA),
    FAKEJNI_SLOT(CallNonvirtualObjectMethod), FAKEJNI_SLOT(CallNonvirtualObjectMethodV),
    FAKEJNI_SLOT(CallNonvirtualObjectMethodA), FAKEJNI_SLOT(CallNonvirtualBooleanMethod),
    FAKEJNI_SLOT(CallNonvirtualBooleanMethodV), FAKEJNI_SLOT(CallNonvirtualBooleanMethodA),
    FAKEJNI_SLOT(CallNonvirtualByteMethod), FAKEJNI_SLOT(CallNonvirtualByteMethodV),
    FAKEJNI_SLOT(CallNonvirtualByteMethodA), FAKEJNI_SLOT(CallNonvirtualCharMethod),
    FAKEJNI_SLOT(CallNonvirtualCharMethodV), FAKEJNI_SLOT(CallNonvirtualCharMethodA),
    FAKEJNI_SLOT(CallNonvirtualShortMethod), FAKEJNI_SLOT(CallNonvirtualShortMethodV),
    FAKEJNI_SLOT(CallNonvirtualShortMethodA), FAKEJNI_SLOT(CallNonvirtualIntMethod),
    FAKEJNI_SLOT(CallNonvirtualIntMethodV), FAKEJNI_SLOT(CallNonvirtualIntMethodA),
    FAKEJNI_SLOT(CallNonvirtualLongMethod), FAKEJNI_SLOT(CallNonvirtualLongMethodV),
    FAKEJNI_SLOT(CallNonvirtualLongMethodA), FAKEJNI_SLOT(CallNonvirtualFloatMethod),
    FAKEJNI_SLOT(CallNonvirtualFloatMethodV), FAKEJNI_SLOT(CallNonvirtualFloatMethodA),
    FAKEJNI_SLOT(CallNonvirtualDoubleMethod), FAKEJNI_SLOT(CallNonvirtualDoubleMethodV),
    FAKEJNI_SLOT(CallNonvirtualDoubleMethodA), FAKEJNI_SLOT(CallNonvirtualVoidMethod),
    FAKEJNI_SLOT(CallNonvirtualVoidMethodV), FAKEJNI_SLOT(CallNonvirtualVoidMethodA), FAKEJNI_SLOT(GetFieldID),
    FAKEJNI_SLOT(GetObjectField), FAKEJNI_SLOT(GetBooleanField), FAKEJNI_SLOT(GetByteField), FAKEJNI_SLOT(GetCharField),
    FAKEJNI_SLOT(GetShortField), FAKEJNI_SLOT(GetIntField), FAKEJNI_SLOT(GetLongField), FAKEJNI_SLOT(GetFloatField),
    FAKEJNI_SLOT(GetDoubleField), FAKEJNI_SLOT(SetObjectField), FAKEJNI_SLOT(SetBooleanField),
    FAKEJNI_SLOT(SetByteField), FAKEJNI_SLOT(SetCharField), FAKEJNI_SLOT(SetShortField), FAKEJNI_SLOT(SetIntField),
    FAKEJNI_SLOT(SetLongField), FAKEJNI_SLOT(SetFloatField), FAKEJNI_SLOT(SetDoubleField),
    FAKEJNI_SLOT(GetStaticMethodID), FAKEJNI_SLOT(CallStaticObjectMethod), FAKEJNI_SLOT(CallStaticObjectMethodV),
    FAKEJNI_SLOT(CallStaticObjectMethodA), FAKEJNI_SLOT(CallStaticBooleanMethod),
    FAKEJNI_SLOT(CallStaticBooleanMethodV), FAKEJNI_SLOT(CallStaticBooleanMethodA), FAKEJNI_SLOT(CallStaticByteMethod),
    FAKEJNI_SLOT(CallStaticByteMethodV), FAKEJNI_SLOT(CallStaticByteMethodA), FAKEJNI_SLOT(CallStaticCharMethod),
    FAKEJNI_SLOT(CallStaticCharMethodV), FAKEJNI_SLOT(CallStaticCharMethodA), FAKEJNI_SLOT(CallStaticShortMethod),
    FAKEJNI_SLOT(CallStaticShortMethodV), FAKEJNI_SLOT(CallStaticShortMethodA), FAKEJNI_SLOT(CallStaticIntMethod),
    FAKEJNI_SLOT(CallStaticIntMethodV), FAKEJNI_SLOT(CallStaticIntMethodA), FAKEJNI_SLOT(CallStaticLongMethod),
    FAKEJNI_SLOT(CallStaticLongMethodV), FAKEJNI_SLOT(CallStaticLongMethodA), FAKEJNI_SLOT(CallStaticFloatMethod),
    FAKEJNI_SLOT(CallStaticFloatMethodV), FAKEJNI_SLOT(CallStaticFloatMethodA), FAKEJNI_SLOT(CallStaticDoubleMethod),
    FAKEJNI_SLOT(CallStaticDoubleMethodV), FAKEJNI_SLOT(CallStaticDoubleMethodA), FAKEJNI_SLOT(CallStaticVoidMethod),
    FAKEJNI_SLOT(CallStaticVoidMethodV), FAKEJNI_SLOT(CallStaticVoidMethodA), FAKEJNI_SLOT(GetStaticFieldID),
    FAKEJNI_SLOT(GetStaticObjectField), FAKEJNI_SLOT(GetStaticBooleanField), FAKEJNI_SLOT(GetStaticByteField),
    FAKEJNI_SLOT(GetStaticCharField), FAKEJNI_SLOT(GetStaticShortField), FAKEJNI_SLOT(GetStaticIntField),
    FAKEJNI_SLOT(GetStaticLongField), FAKEJNI_SLOT(GetStaticFloatField), FAKEJNI_SLOT(GetStaticDoubleField),
    FAKEJNI_SLOT(SetStaticObjectField), FAKEJNI_SLOT(SetStaticBooleanField), FAKEJNI_SLOT(SetStaticByteField),
    FAKEJNI_SLOT(SetStaticCharField), FAKEJNI_SLOT(SetStaticShortField), FAKEJNI_SLOT(SetStaticIntField),
    FAKEJNI_SLOT(SetStaticLongField), FAKEJNI_SLOT(SetStaticFloatField), FAKEJNI_SLOT(SetStaticDoubleField),
    FAKEJNI_SLOT(NewString), FAKEJNI_SLOT(GetStringLength), FAKEJNI_SLOT(GetStringChars),
    FAKEJNI_SLOT(ReleaseStringChars), FAKEJNI_SLOT(NewStringUTF), FAKEJNI_SLOT(GetStringUTFLength),
    FAKEJNI_SLOT(GetStringUTFChars), FAKEJNI_SLOT(ReleaseStringUTFChars), FAKEJNI_SLOT(GetArrayLength),
    FAKEJNI_SLOT(NewObjectArray), FAKEJNI_SLOT(GetObjectArrayElement), FAKEJNI_SLOT(SetObjectArrayElement),
    FAKEJNI_SLOT(NewBooleanArray), FAKEJNI_SLOT(NewByteArray), FAKEJNI_SLOT(NewCharArray), FAKEJNI_SLOT(NewShortArray),
    FAKEJNI_SLOT(NewIntArray), FAKEJNI_SLOT(NewLongArray), FAKEJNI_SLOT(NewFloatArray), FAKEJNI_SLOT(NewDoubleArray),
    FAKEJNI_SLOT(GetBooleanArrayElements), FAKEJNI_SLOT(GetByteArrayElements), FAKEJNI_SLOT(GetCharArrayElements),
    FAKEJNI_SLOT(GetShortArrayElements), FAKEJNI_SLOT(GetIntArrayElements), FAKEJNI_SLOT(GetLongArrayElements),
    FAKEJNI_SLOT(GetFloatArrayElements), FAKEJNI_SLOT(GetDoubleArrayElements),
    FAKEJNI_SLOT(ReleaseBooleanArrayElements), FAKEJNI_SLOT(ReleaseByteArrayElements),
    FAKEJNI_SLOT(ReleaseCharArrayElements), FAKEJNI_SLOT(ReleaseShortArrayElements),
    FAKEJNI_SLOT(ReleaseIntArrayElements), FAKEJNI_SLOT(ReleaseLongArrayElements),
    FAKEJNI_SLOT(ReleaseFloatArrayElements), FAKEJNI_SLOT(ReleaseDoubleArrayElements),
    FAKEJNI_SLOT(GetBooleanArrayRegion), FAKEJNI_SLOT(GetByteArrayRegion), FAKEJNI_SLOT(GetCharArrayRegion),
    FAKEJNI_SLOT(GetShortArrayRegion), FAKEJNI_SLOT(GetIntArrayRegion), FAKEJNI_SLOT(GetLongArrayRegion),
    FAKEJNI_SLOT(GetFloatArrayRegion), FAKEJNI_SLOT(GetDoubleArrayRegion), FAKEJNI_SLOT(SetBooleanArrayRegion),
    FAKEJNI_SLOT(SetByteArrayRegion), FAKEJNI_SLOT(SetCharArrayRegion), FAKEJNI_SLOT(SetShortArrayRegion),
    FAKEJNI_SLOT(SetIntArrayRegion), FAKEJNI_SLOT(SetLongArrayRegion), FAKEJNI_SLOT(SetFloatArrayRegion),
    FAKEJNI_SLOT(SetDoubleArrayRegion), FAKEJNI_SLOT(RegisterNatives), FAKEJNI_SLOT(UnregisterNatives),
    FAKEJNI_SLOT(MonitorEnter), FAKEJNI_SLOT(MonitorExit), FAKEJNI_SLOT(GetJavaVM), FAKEJNI_SLOT(GetStringRegion),
    FAKEJNI_SLOT(GetStringUTFRegion), FAKEJNI_SLOT(GetPrimitiveArrayCritical),
    FAKEJNI_SLOT(ReleasePrimitiveArrayCritical), FAKEJNI_SLOT(GetStringCritical), FAKEJNI_SLOT(ReleaseStringCritical),
    FAKEJNI_SLOT(NewWeakGlobalRef), FAKEJNI_SLOT(DeleteWeakGlobalRef), FAKEJNI_SLOT(ExceptionCheck),
    FAKEJNI_SLOT(NewDirectByteBuffer), FAKEJNI_SLOT(GetDirectBufferAddress), FAKEJNI_SLOT(GetDirectBufferCapacity),
    FAKEJNI_SLOT(GetObjectRefType), FAKEJNI_SLOT(GetModule)
// Slots added after JDK 17, present when building against a newer jni.h.
#ifdef JNI_VERSION_21
                                        ,
    FAKEJNI_SLOT(IsVirtualThread)
#endif
#ifdef JNI_VERSION_24
        ,
    FAKEJNI_SLOT(GetStringUTFLengthAsLong)
#endif
    >;
#undef FAKEJNI_SLOT

static_assert(JniFunctionSlots::size + reserved_slots == sizeof(JNINativeInterface_) / sizeof(void*),
              "the slot list does not match this jni.h: regenerate it");

namespace detail {
// Listing a slot twice would make one a repeated direct base here, which does
// not compile; with the count check above, every slot is listed exactly once.
template <typename List>
struct AllDistinct;
template <typename... Slots>
struct AllDistinct<SlotList<Slots...>> : Slots... {};
static_assert(sizeof(AllDistinct<JniFunctionSlots>) > 0);
}  // namespace detail

}  // namespace fakejni
