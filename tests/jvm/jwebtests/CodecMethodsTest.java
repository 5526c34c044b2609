package jwebtests;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;

import java.io.ByteArrayOutputStream;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;
import java.util.Random;
import java.util.function.UnaryOperator;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.Arguments;
import org.junit.jupiter.params.provider.EnumSource;
import org.junit.jupiter.params.provider.MethodSource;
import tsapi.web;

/**
 * The URL and Base64 methods in a running JVM: computed by the library itself,
 * so they must give the same results in every engine mode, with no engine too.
 */
class CodecMethodsTest {
    enum Codec {
        URL_ENCODE(web::jweb_util_url_encode),
        URL_DECODE(web::jweb_util_url_decode),
        BASE64_ENCODE(web::jweb_util_base64encode),
        BASE64_DECODE(web::jweb_util_base64decode);

        private final UnaryOperator<String> method;

        Codec(UnaryOperator<String> method) {
            this.method = method;
        }

        String apply(String text) {
            return method.apply(text);
        }
    }

    @BeforeAll
    static void load() {
        EngineMode.prepare();
    }

    // ---- exact results ----

    static Stream<Arguments> edgeCases() {
        return Stream.of(
            // URL encoding: [A-Za-z0-9_] kept, space as "+", every other byte of
            // the modified UTF-8 form as lowercase %xx.
            Arguments.of(Codec.URL_ENCODE, "", ""),
            Arguments.of(Codec.URL_ENCODE, "abc", "abc"),
            Arguments.of(Codec.URL_ENCODE, "A_z9", "A_z9"),
            Arguments.of(Codec.URL_ENCODE, "a b", "a+b"),
            Arguments.of(Codec.URL_ENCODE, "+", "%2b"),
            Arguments.of(Codec.URL_ENCODE, "~", "%7e"),
            Arguments.of(Codec.URL_ENCODE, "a.b-c", "a%2eb%2dc"),
            Arguments.of(Codec.URL_ENCODE, "100%", "100%25"),
            Arguments.of(Codec.URL_ENCODE, "*", "%2a"),
            Arguments.of(Codec.URL_ENCODE, "\n", "%0a"),
            Arguments.of(Codec.URL_ENCODE, "\u00e9", "%c3%a9"),
            Arguments.of(Codec.URL_ENCODE, "\u0000", "%c0%80"),
            Arguments.of(Codec.URL_ENCODE, "\ud83d\ude00", "%ed%a0%bd%ed%b8%80"),
            // URL decoding; the two bytes after "%" are taken whatever they
            // are, a non-digit counting as 0, and a decoded zero byte ends the
            // text.
            Arguments.of(Codec.URL_DECODE, "", ""),
            Arguments.of(Codec.URL_DECODE, "a+b", "a b"),
            Arguments.of(Codec.URL_DECODE, "a%2bb", "a+b"),
            Arguments.of(Codec.URL_DECODE, "%7e", "~"),
            Arguments.of(Codec.URL_DECODE, "%7E", "~"),
            Arguments.of(Codec.URL_DECODE, "%41%42", "AB"),
            Arguments.of(Codec.URL_DECODE, "%c3%a9", "\u00e9"),
            Arguments.of(Codec.URL_DECODE, "%C3%A9", "\u00e9"),
            Arguments.of(Codec.URL_DECODE, "%c0%80", "\u0000"),
            Arguments.of(Codec.URL_DECODE, "%ed%a0%bd%ed%b8%80", "\ud83d\ude00"),
            Arguments.of(Codec.URL_DECODE, "%ed%a0%80", "\ud800"),
            Arguments.of(Codec.URL_DECODE, "%g1", "\u0001"),
            Arguments.of(Codec.URL_DECODE, "%%41", "\u00041"),
            Arguments.of(Codec.URL_DECODE, "a%zzb", "a"),
            Arguments.of(Codec.URL_DECODE, "a%00b", "a"),
            Arguments.of(Codec.URL_DECODE, "ab%", "ab"),
            Arguments.of(Codec.URL_DECODE, "%4", "@"),
            Arguments.of(Codec.URL_DECODE, "\u00e9+", "\u00e9 "),
            // Base64 encoding of the modified UTF-8 form.
            Arguments.of(Codec.BASE64_ENCODE, "", ""),
            Arguments.of(Codec.BASE64_ENCODE, "a", "YQ=="),
            Arguments.of(Codec.BASE64_ENCODE, "ab", "YWI="),
            Arguments.of(Codec.BASE64_ENCODE, "abc", "YWJj"),
            Arguments.of(Codec.BASE64_ENCODE, "abcd", "YWJjZA=="),
            Arguments.of(Codec.BASE64_ENCODE, "a b", "YSBi"),
            Arguments.of(Codec.BASE64_ENCODE, "~", "fg=="),
            Arguments.of(Codec.BASE64_ENCODE, "\u00e9", "w6k="),
            Arguments.of(Codec.BASE64_ENCODE, "\ud83d\ude00", "7aC97biA"),
            Arguments.of(Codec.BASE64_ENCODE, "\u0000", "wIA="),
            // Base64 decoding of any text by fixed rules: padding bits dropped,
            // missing padding tolerated, the output length from the text length.
            Arguments.of(Codec.BASE64_DECODE, "", ""),
            Arguments.of(Codec.BASE64_DECODE, "YWJj", "abc"),
            Arguments.of(Codec.BASE64_DECODE, "YQ==", "a"),
            Arguments.of(Codec.BASE64_DECODE, "YWI=", "ab"),
            Arguments.of(Codec.BASE64_DECODE, "YR==", "a"),
            Arguments.of(Codec.BASE64_DECODE, "AGE=", ""),
            Arguments.of(Codec.BASE64_DECODE, "YQ", "a"),
            Arguments.of(Codec.BASE64_DECODE, "YWI", "ab"),
            Arguments.of(Codec.BASE64_DECODE, "YWJjZA", "abcd"),
            Arguments.of(Codec.BASE64_DECODE, "YR", "a\u0010"),
            Arguments.of(Codec.BASE64_DECODE, "Y", "`"),
            Arguments.of(Codec.BASE64_DECODE, "YQ=", "a"),
            Arguments.of(Codec.BASE64_DECODE, "YWI=YWI=", "ab"),
            Arguments.of(Codec.BASE64_DECODE, "YWJj\n", "abc("),
            Arguments.of(Codec.BASE64_DECODE, "=", ""),
            Arguments.of(Codec.BASE64_DECODE, "==", ""),
            Arguments.of(Codec.BASE64_DECODE, "===", ""),
            Arguments.of(Codec.BASE64_DECODE, "A===", ""),
            Arguments.of(Codec.BASE64_DECODE, "====", ""),  // a negative length gives nothing
            Arguments.of(Codec.BASE64_DECODE, "wIA=", "\u0000"),
            Arguments.of(Codec.BASE64_DECODE, "7aC97biA", "\ud83d\ude00"));
    }

    @ParameterizedTest(name = "{0}({1}) = {2}")
    @MethodSource("edgeCases")
    void givesTheExactString(Codec codec, String input, String expected) {
        assertEquals(show(expected), show(codec.apply(input)));
    }

    @ParameterizedTest
    @EnumSource(Codec.class)
    void nullGivesTheEmptyString(Codec codec) {
        assertEquals("", codec.apply(null));
    }

    // Decoded bytes outside modified UTF-8: the library hands them to the JVM
    // as they are; what String comes back is the JVM's matter, but the call
    // must return one, and -Xcheck:jni must stay silent (the run fails on any
    // warning it prints).
    static Stream<Arguments> bytesOutsideModifiedUtf8() {
        return Stream.of(
            Arguments.of(Codec.URL_DECODE, "%ff"),
            Arguments.of(Codec.URL_DECODE, "%80"),
            Arguments.of(Codec.URL_DECODE, "x%c3"),
            Arguments.of(Codec.URL_DECODE, "%e2%82"),
            Arguments.of(Codec.URL_DECODE, "%c1%81"),
            Arguments.of(Codec.URL_DECODE, "%e0%80%80"),
            Arguments.of(Codec.URL_DECODE, "%f0%9f%98%80"),
            Arguments.of(Codec.URL_DECODE, "a%c3%28b%ff%fe"),
            Arguments.of(Codec.BASE64_DECODE, "/w=="),
            Arguments.of(Codec.BASE64_DECODE, "gA=="),
            Arguments.of(Codec.BASE64_DECODE, "+/+/"),
            Arguments.of(Codec.BASE64_DECODE, "8J+YgA=="),
            Arguments.of(Codec.BASE64_DECODE, "////////"));
    }

    @ParameterizedTest(name = "{0}({1})")
    @MethodSource("bytesOutsideModifiedUtf8")
    void bytesOutsideModifiedUtf8StillGiveAString(Codec codec, String input) {
        for (int i = 0; i < 3; i++) assertNotNull(codec.apply(input));
    }

    @Test
    void randomDecodedBytesAlwaysGiveAString() {
        Random rng = new Random(4242);
        for (int k = 0; k < 2000; k++) {
            StringBuilder escapes = new StringBuilder();
            int n = rng.nextInt(40);
            for (int i = 0; i < n; i++) escapes.append(String.format("%%%02x", 1 + rng.nextInt(255)));
            String text = escapes.toString();
            assertNotNull(web.jweb_util_url_decode(text), text);
            byte[] bytes = new byte[n];
            for (int i = 0; i < n; i++) bytes[i] = (byte) (1 + rng.nextInt(255));
            String base64 = Base64.getEncoder().encodeToString(bytes);
            assertNotNull(web.jweb_util_base64decode(base64), base64);
        }
    }

    // ---- properties over random strings ----

    interface Property {
        /** Null when it holds for s, else what went wrong. */
        String check(String s);
    }

    static Stream<Arguments> properties() {
        return Stream.of(
            Arguments.of("url decode(encode(s)) = s", (Property) s ->
                differs(s, web.jweb_util_url_decode(web.jweb_util_url_encode(s)))),
            Arguments.of("url encode(s) = reference", (Property) s ->
                differs(urlEncodeReference(EngineMethods.mutf8(s)), web.jweb_util_url_encode(s))),
            Arguments.of("url decode of every byte escaped in upper case = s", (Property) s ->
                differs(s, web.jweb_util_url_decode(escapeEveryByte(EngineMethods.mutf8(s))))),
            Arguments.of("base64 decode(encode(s)) = s", (Property) s ->
                differs(s, web.jweb_util_base64decode(web.jweb_util_base64encode(s)))),
            Arguments.of("base64 encode(s) = java.util.Base64 of the modified UTF-8", (Property) s ->
                differs(Base64.getEncoder().encodeToString(EngineMethods.mutf8(s)), web.jweb_util_base64encode(s))),
            Arguments.of("base64 decode(java.util.Base64 of the modified UTF-8) = s", (Property) s ->
                differs(s, web.jweb_util_base64decode(Base64.getEncoder().encodeToString(EngineMethods.mutf8(s))))),
            Arguments.of("local modified UTF-8 = DataOutputStream's", (Property) s ->
                Arrays.equals(modifiedUtf8(s), EngineMethods.mutf8(s)) ? null : "large-input oracle is off"));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("properties")
    void holdsForRandomStrings(String name, Property property) {
        for (String s : randomStrings()) {
            String failure = property.check(s);
            if (failure != null) throw new AssertionError(name + " fails for " + show(s) + ": " + failure);
        }
    }

    // ---- large input ----

    @ParameterizedTest
    @EnumSource(value = Codec.class, names = {"URL_ENCODE", "BASE64_ENCODE"})
    void megabyteStringRoundTrips(Codec encoder) {
        String s = randomString(new Random(99), 1 << 20);
        Codec decoder = encoder == Codec.URL_ENCODE ? Codec.URL_DECODE : Codec.BASE64_DECODE;
        String encoded = encoder.apply(s);
        byte[] bytes = modifiedUtf8(s);
        String expected = encoder == Codec.URL_ENCODE ? urlEncodeReference(bytes)
                : Base64.getEncoder().encodeToString(bytes);
        assertEquals(expected.length(), encoded.length());
        assertEquals(expected, encoded);
        String decoded = decoder.apply(encoded);
        assertEquals(s.length(), decoded.length());
        assertEquals(s, decoded);
    }

    // ---- helpers ----

    /** 2000 strings of 0 to 200 chars, plus the lone and special chars alone. */
    static List<String> randomStrings() {
        Random rng = new Random(20240611L);
        List<String> strings = new ArrayList<>(List.of("", "\u0000", "\ud800", "\udc00", "\udc00\ud800",
            "\ud83d\ude00", "\uffff", " ", "+", "%"));
        for (int k = 0; k < 2000; k++) strings.add(randomString(rng, rng.nextInt(201)));
        return strings;
    }

    /** About `length` chars mixing every kind the conversion treats differently. */
    static String randomString(Random rng, int length) {
        StringBuilder b = new StringBuilder(length + 1);
        final String specials = " +%=_~*.-/\\\n\t&?#";
        while (b.length() < length) {
            switch (rng.nextInt(8)) {
                case 0: b.append((char) (0x20 + rng.nextInt(0x5f))); break;
                case 1: b.append(specials.charAt(rng.nextInt(specials.length()))); break;
                case 2: b.append((char) (0x80 + rng.nextInt(0x780))); break;
                case 3: {
                    char c = (char) (0x800 + rng.nextInt(0xf800));
                    b.append(Character.isSurrogate(c) ? '\u20ac' : c);
                    break;
                }
                case 4: b.appendCodePoint(0x10000 + rng.nextInt(0x100000)); break;
                case 5: b.append((char) (0xd800 + rng.nextInt(0x400))); break;  // lone high surrogate
                case 6: b.append((char) (0xdc00 + rng.nextInt(0x400))); break;  // lone low surrogate
                default: b.append((char) rng.nextInt(0x20)); break;           // U+0000 and controls
            }
        }
        return b.toString();
    }

    /** Per byte: [A-Za-z0-9_] kept, space as "+", anything else as lowercase %xx. */
    static String urlEncodeReference(byte[] bytes) {
        StringBuilder out = new StringBuilder(bytes.length * 3);
        for (byte x : bytes) {
            int c = x & 0xff;
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') {
                out.append((char) c);
            } else if (c == ' ') {
                out.append('+');
            } else {
                out.append('%').append(Character.forDigit(c >> 4, 16)).append(Character.forDigit(c & 15, 16));
            }
        }
        return out.toString();
    }

    static String escapeEveryByte(byte[] bytes) {
        StringBuilder out = new StringBuilder(bytes.length * 3);
        for (byte x : bytes) out.append(String.format("%%%02X", x & 0xff));
        return out.toString();
    }

    /** Modified UTF-8 of any length (DataOutputStream stops at 65535 bytes). */
    static byte[] modifiedUtf8(String s) {
        ByteArrayOutputStream out = new ByteArrayOutputStream(s.length() * 3);
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c != 0 && c < 0x80) {
                out.write(c);
            } else if (c < 0x800) {
                out.write(0xc0 | (c >> 6));
                out.write(0x80 | (c & 0x3f));
            } else {
                out.write(0xe0 | (c >> 12));
                out.write(0x80 | ((c >> 6) & 0x3f));
                out.write(0x80 | (c & 0x3f));
            }
        }
        return out.toByteArray();
    }

    static String differs(String expected, String actual) {
        return expected.equals(actual) ? null : "expected " + show(expected) + " but got " + show(actual);
    }

    /** Quotes a string with every char outside printable ASCII as \\uXXXX. */
    static String show(String s) {
        if (s == null) return "null";
        StringBuilder out = new StringBuilder("\"");
        for (int i = 0; i < s.length(); i++) {
            char c = s.charAt(i);
            if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') out.append(c);
            else out.append(String.format("\\u%04x", (int) c));
        }
        return out.append('"').toString();
    }
}
