package jwebbench;

import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Base64;
import java.util.List;
import java.util.Random;

/**
 * The inputs every column of the benchmark calls with, so that the library,
 * the hand-written limit, JNA and FFM pass the engine the same strings.
 * Shared by the JDK 17 harness and the FFM harness (which runs on a newer JDK).
 */
final class Workload {
    static final String LAST = "LAST";
    static final String ITEMDATA = "ITEMDATA";
    static final String NAME = "home";
    static final String URL = "URL=http://shop.test/catalog/index.html";
    static final String ACTION = "Action=http://shop.test/cart/add";
    static final String METHOD = "Method=POST";
    static final String GROUP = "group1";
    static final String TIMEOUT_CATEGORY = "STEP";
    static final String TIMEOUT_VALUE = "120";

    /** Engine rows, in table order; body sizes in bytes for the custom requests. */
    static final String[] ENGINE_ROWS = {
        "initialize", "set_timeout", "url0", "url10", "url100", "url300", "url1000", "url5000",
        "submit_data", "submit_data_form100", "custom_request2", "concurrent_start",
        "custom_request2_body0", "custom_request2_body64k", "custom_request2_body1m",
    };

    private static final String[] ATTRIBUTE_KINDS = {
        "Resource=0", "RecContentType=text/html", "Referer=http://shop.test/", "Snapshot=t", "Mode=HTML",
        "TargetFrame=", "EncType=application/x-www-form-urlencoded", "UserAgent=Mozilla/5.0",
    };

    private Workload() {}

    static String[] attributes(int n) {
        String[] a = new String[n];
        for (int i = 0; i < n; i++) a[i] = ATTRIBUTE_KINDS[i % ATTRIBUTE_KINDS.length] + i;
        return a;
    }

    static String[] items(int n) {
        String[] a = new String[n];
        for (int i = 0; i < n; i++) a[i] = (i % 2 == 0 ? "Name=field" : "Value=entry ") + i;
        return a;
    }

    /** A form of {@code fields} fields as items: "Name=", "Value=" and "ENDITEM" for each. */
    static String[] formItems(int fields) {
        String[] a = new String[3 * fields];
        for (int i = 0; i < fields; i++) {
            a[3 * i] = "Name=field" + i;
            a[3 * i + 1] = "Value=entry " + i;
            a[3 * i + 2] = "ENDITEM";
        }
        return a;
    }

    /** The items of a submit_data row: ten, or a 100-field form. */
    static String[] submitItems(String row) {
        return row.equals("submit_data_form100") ? formItems(100) : items(10);
    }

    static byte[] body(int size) {
        byte[] b = new byte[size];
        for (int i = 0; i < size; i++) b[i] = (byte) ('a' + i % 26);
        return b;
    }

    static int bodySize(String row) {
        switch (row) {
            case "custom_request2": return 4 << 10;
            case "custom_request2_body0": return 0;
            case "custom_request2_body64k": return 64 << 10;
            case "custom_request2_body1m": return 1 << 20;
            default: return -1;
        }
    }

    static int attributeCount(String row) {
        return row.startsWith("url") ? Integer.parseInt(row.substring(3)) : 10;
    }

    /**
     * The engine entry of a row and its whole argument list as strings, as a
     * caller without the library must build it. The custom request's body is
     * the one byte[] (null here; callers put it in themselves, at
     * {@link #bodyIndex}).
     */
    static String entry(String row) {
        if (row.equals("initialize")) return "InitWebVuser";
        if (row.equals("set_timeout")) return "web_set_timeout";
        if (row.startsWith("url")) return "web_url";
        if (row.startsWith("submit_data")) return "web_submit_data";
        if (row.startsWith("custom_request2")) return "web_custom_request";
        if (row.equals("concurrent_start")) return "web_concurrent_start";
        throw new IllegalArgumentException(row);
    }

    static String[] list(String row) {
        List<String> list = new ArrayList<>();
        if (row.equals("initialize")) return new String[0];
        if (row.equals("set_timeout")) return new String[] {TIMEOUT_CATEGORY, TIMEOUT_VALUE};
        if (row.startsWith("url")) {
            list.add(NAME);
            list.add(URL);
            list.addAll(Arrays.asList(attributes(attributeCount(row))));
            list.add(LAST);
        } else if (row.startsWith("submit_data")) {
            list.add(NAME);
            list.add(ACTION);
            list.addAll(Arrays.asList(attributes(10)));
            list.add(ITEMDATA);
            list.addAll(Arrays.asList(submitItems(row)));
            list.add(LAST);
        } else if (row.startsWith("custom_request2")) {
            list.add(NAME);
            list.add(METHOD);
            list.addAll(Arrays.asList(attributes(10)));
            list.add(null);
            list.add(LAST);
        } else if (row.equals("concurrent_start")) {
            list.add(GROUP);
            list.addAll(Arrays.asList(attributes(10)));
            list.add(LAST);
        } else {
            throw new IllegalArgumentException(row);
        }
        return list.toArray(new String[0]);
    }

    static int bodyIndex(String row) {
        return row.startsWith("custom_request2") ? 12 : -1;
    }

    static boolean isVariadic(String row) {
        return !row.equals("initialize") && !row.equals("set_timeout");
    }

    // ---- codec inputs ----

    static final int[] CODEC_SIZES = {1 << 10, 64 << 10, 1 << 20};

    /**
     * Text whose modified UTF-8 form is exactly {@code bytes} long: form-like
     * ASCII, or the same with about 30% of the characters outside ASCII
     * (Latin-1 letters, Greek, CJK).
     */
    static String text(int bytes, boolean mixed, long seed) {
        Random random = new Random(seed);
        String punctuation = ".,-=&%+/:;!?'\"()";
        StringBuilder s = new StringBuilder();
        int length = 0;
        while (length < bytes) {
            int r = random.nextInt(100);
            char c;
            if (mixed && r < 30) {
                int k = random.nextInt(3);
                c = k == 0 ? (char) (0xC0 + random.nextInt(0x40)) : k == 1 ? (char) (0x3B1 + random.nextInt(24))
                                                                           : (char) (0x4E00 + random.nextInt(0x5000));
            } else if (r < 55) {
                c = (char) ('a' + random.nextInt(26));
            } else if (r < 65) {
                c = ' ';
            } else if (r < 75) {
                c = (char) ('A' + random.nextInt(26));
            } else if (r < 85) {
                c = (char) ('0' + random.nextInt(10));
            } else {
                c = punctuation.charAt(random.nextInt(punctuation.length()));
            }
            int size = c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
            if (length + size > bytes) c = 'a';
            s.append(c);
            length += c < 0x80 ? 1 : size;
        }
        return s.toString();
    }

    /** URL-encoded text exactly {@code bytes} long, cut at an escape's edge. */
    static String urlEncoded(int bytes, boolean mixed, long seed) {
        String encoded = formEncode(text(bytes, mixed, seed));
        int cut = bytes;
        while (cut > 0 && (encoded.charAt(cut - 1) == '%' || (cut > 1 && encoded.charAt(cut - 2) == '%'))) cut--;
        return encoded.substring(0, cut) + "a".repeat(bytes - cut);
    }

    /** Base64 exactly {@code bytes} long (a multiple of 4), of valid text. */
    static String base64(int bytes, boolean mixed, long seed) {
        byte[] plain = text(bytes / 4 * 3, mixed, seed).getBytes(StandardCharsets.UTF_8);
        return Base64.getEncoder().encodeToString(plain);
    }

    // The library's form encoding: letters, digits and "_" kept, space as
    // "+", every other byte of the UTF-8 form as %xx.
    private static String formEncode(String text) {
        StringBuilder s = new StringBuilder();
        for (byte b : text.getBytes(StandardCharsets.UTF_8)) {
            int c = b & 0xff;
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_') {
                s.append((char) c);
            } else if (c == ' ') {
                s.append('+');
            } else {
                s.append('%').append(Character.forDigit(c >> 4, 16)).append(Character.forDigit(c & 15, 16));
            }
        }
        return s.toString();
    }
}
