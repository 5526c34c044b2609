package jwebtests;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.lang.reflect.Method;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.CyclicBarrier;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import java.util.zip.ZipFile;

/**
 * The natives from the class path, one case a run, each in JVMs of its own
 * started from here with this JVM's checking options (their output is printed
 * as it came, so that a warning in any of them fails the run):
 * <ul>
 * <li>{@code first}: an empty cache folder; the library is extracted, whole,
 * with no partial file left, and loaded from there.
 * <li>{@code reuse}: a second JVM loads the file the first extracted, untouched.
 * <li>{@code corrupt}: a cut-short copy in the cache is replaced, then loaded.
 * <li>{@code read_only}: a read-only cache folder: the message names the folder
 * and the property.
 * <li>{@code noexec}: a cache folder on a file system mounted noexec (needs
 * root for the mount; skipped loudly, status 77, without): the message says so
 * and names the property.
 * <li>{@code absent}: no natives jar: the message lists both tries and the
 * properties.
 * <li>{@code extract_off}: extraction turned off: the message says so, and no
 * folder is made.
 * <li>{@code library_path}: java.library.path names the build's library, which
 * is the one loaded; nothing is extracted.
 * <li>{@code two_loaders}: two class loaders each define tsapi.web from the jars,
 * at once: one loads the extracted file, the other gets the runtime's refusal
 * of a library another loader holds, and the file stays whole.
 * <li>{@code two_jvms}: two JVMs start at once on an empty cache folder: both
 * load the same whole file.
 * <li>{@code standin}: the stand-in engine and its control from their natives
 * jar: a dry run from the jars alone, the engine bound.
 * </ul>
 *   java -Djweb.tsapi.jar=.. -Djweb.natives.jar=.. -Djweb.control.jar=.. -Djweb.standin.natives.jar=..
 *        -Djweb.engine=ENGINE -Djweb.library.dir=DIR -cp TESTS_JAR jwebtests.NativesRun CASE
 */
public final class NativesRun {
    private static int failures;
    private static Path work;

    public static void main(String[] args) throws Exception {
        if (args[0].equals("child")) {
            child(args);
            return;
        }
        work = Files.createTempDirectory("jweb-natives-");
        try {
            run(args[0]);
        } finally {
            unmount(work.resolve("mount"));
            deleteTree(work);
        }
        System.out.println("NativesRun " + args[0] + ": " + (failures == 0 ? "every check passed" : failures + " checks failed"));
        System.exit(failures == 0 ? 0 : 1);
    }

    private static void run(String name) throws Exception {
        Path cache = work.resolve("cache");
        Path extracted = cache.resolve(version()).resolve(target()).resolve("libjwebnative.so");
        String tsapi = System.getProperty("jweb.tsapi.jar");
        String natives = System.getProperty("jweb.natives.jar");
        String fromJars = tsapi + ":" + natives;
        switch (name) {
            case "first": {
                Result r = child(cache, fromJars);
                check("first: loaded the extracted file", r.loaded(extracted));
                check("first: the file is whole", whole(extracted));
                check("first: no partial file left", listing(extracted.getParent()).equals(List.of("libjwebnative.so")));
                break;
            }
            case "reuse": {
                child(cache, fromJars);
                Object inode = Files.getAttribute(extracted, "unix:ino");
                Object modified = Files.getLastModifiedTime(extracted);
                Result r = child(cache, fromJars);
                check("reuse: loaded the extracted file", r.loaded(extracted));
                check("reuse: the same file, untouched", inode.equals(Files.getAttribute(extracted, "unix:ino"))
                                                         && modified.equals(Files.getLastModifiedTime(extracted)));
                break;
            }
            case "corrupt": {
                byte[] real = stored("libjwebnative.so");
                Files.createDirectories(extracted.getParent());
                Files.write(extracted, Arrays.copyOf(real, real.length / 2));
                Result r = child(cache, fromJars);
                check("corrupt: loaded the extracted file", r.loaded(extracted));
                check("corrupt: the cut-short copy replaced by a whole one", whole(extracted));
                break;
            }
            case "read_only": {
                Path folder = mount("ro");
                Result r = child(folder, fromJars);
                check("read_only: the load failed", r.status != 0);
                check("read_only: the message names the folder", r.output.contains(
                        "cannot write in " + folder.resolve(version()).resolve(target())));
                check("read_only: the message names the property",
                      r.output.contains("name a writable folder with -Djwebnative.natives.dir=<folder>"));
                break;
            }
            case "noexec": {
                if (!isRoot()) {
                    System.out.println("SKIPPED: NativesRun noexec needs root to mount a noexec tmpfs");
                    System.exit(77);
                }
                Path folder = mount("noexec");
                Result r = child(folder, fromJars);
                check("noexec: the load failed", r.status != 0);
                check("noexec: the message says why and names the property", r.output.contains(
                        "The folder " + folder.resolve(version()).resolve(target()) + " is on a file system mounted"
                        + " noexec, where no library can be loaded from: name another with"
                        + " -Djwebnative.natives.dir=<folder>."));
                break;
            }
            case "absent": {
                Result r = child(cache, tsapi);
                check("absent: the load failed", r.status != 0);
                check("absent: the runtime's own words first",
                      r.output.contains("java.lang.UnsatisfiedLinkError: no jwebnative in java.library.path"));
                check("absent: both tries, in order", r.output.contains(
                        "The native library libjwebnative.so could not be loaded. Tried, in order:\n"
                        + "  1. System.loadLibrary(\"jwebnative\"): no jwebnative in java.library.path")
                        && r.output.contains("  2. the class path's META-INF/native/" + target()
                                             + "/libjwebnative.so: none (the natives jar for " + target()
                                             + " is not on the class path)"));
                check("absent: the properties", r.output.contains("What changes it: -Djava.library.path=<the folder of"
                        + " libjwebnative.so>; the natives jar for " + target() + " on the class path; -Djwebnative."
                        + "natives.dir=<folder> to extract into (now " + cache + "); -Djwebnative.natives.extract="
                        + "false to use java.library.path alone."));
                break;
            }
            case "extract_off": {
                Result r = child(cache, fromJars, "-Djwebnative.natives.extract=false");
                check("extract_off: the load failed", r.status != 0);
                check("extract_off: the message says why", r.output.contains("  2. the class path's META-INF/native/"
                        + target() + "/libjwebnative.so: not looked for, -Djwebnative.natives.extract=false"));
                check("extract_off: nothing extracted", !Files.exists(cache));
                break;
            }
            case "library_path": {
                Path library = Path.of(System.getProperty("jweb.library.dir"), "libjwebnative.so");
                Result r = child(cache, fromJars, "-Djava.library.path=" + library.getParent());
                check("library_path: loaded the build's library", r.loaded(library));
                check("library_path: nothing extracted", !Files.exists(cache));
                break;
            }
            case "two_loaders": {
                Result r = child(cache, fromJars, "-Djweb.child=loaders");
                check("two_loaders: one loader loaded the extracted file", r.output.contains(
                        "loader: loaded " + extracted) && r.status == 0);
                check("two_loaders: the other got the runtime's refusal", r.output.contains(
                        "loader: java.lang.UnsatisfiedLinkError: Native Library " + extracted
                        + " already loaded in another classloader"));
                check("two_loaders: the file is whole", whole(extracted));
                break;
            }
            case "two_jvms": {
                List<Process> jvms = new ArrayList<>();
                for (int i = 0; i < 2; i++) jvms.add(start(cache, fromJars));
                for (Process jvm : jvms) {
                    Result r = finish(jvm);
                    check("two_jvms: loaded the extracted file", r.loaded(extracted));
                }
                check("two_jvms: the file is whole", whole(extracted));
                check("two_jvms: no partial file left", listing(extracted.getParent()).equals(List.of("libjwebnative.so")));
                break;
            }
            case "standin": {
                String jars = String.join(":", fromJars, System.getProperty("jweb.control.jar"),
                                          System.getProperty("jweb.standin.natives.jar"));
                Result r = child(cache, jars, "-Djweb.child=standin");
                check("standin: loaded the extracted library", r.loaded(extracted));
                check("standin: the engine came from its natives jar", r.output.contains(
                        "engine: " + cache.resolve(version()).resolve(target()).resolve("libTswReplayMain.so")));
                check("standin: the engine is bound", r.output.contains("jweb_initialize() = 0"));
                break;
            }
            default:
                throw new IllegalArgumentException("no case " + name);
        }
    }

    // ---- the child JVM: load, call, say what was loaded ----

    private static void child(String[] args) throws Exception {
        String way = System.getProperty("jweb.child", "script");
        if (way.equals("loaders")) {
            twoLoaders();
            return;
        }
        try {
            if (way.equals("standin")) {
                tsapi.standin.Engine.loadEngine();
                System.out.println("engine: " + mapped("/libTswReplayMain.so"));
            } else {
                System.load(System.getProperty("jweb.engine"));
            }
            System.out.println("script: " + tsapi.web.jweb_util_base64encode("jweb"));
            System.out.println("script: jweb_initialize() = " + tsapi.web.jweb_initialize());
            System.out.println("script: loaded " + mapped("/libjwebnative.so"));
        } catch (UnsatisfiedLinkError e) {
            System.out.println("script: " + e);
            System.exit(3);
        }
    }

    private static void twoLoaders() throws Exception {
        URL[] jars = Stream.of(System.getProperty("java.class.path").split(":"))
                         .filter(jar -> !jar.contains("jvm-tests"))
                         .map(NativesRun::url)
                         .toArray(URL[]::new);
        CyclicBarrier start = new CyclicBarrier(2);
        List<Thread> threads = new ArrayList<>();
        for (int i = 0; i < 2; i++) {
            URLClassLoader loader = new URLClassLoader(jars, ClassLoader.getPlatformClassLoader());
            Thread thread = new Thread(() -> {
                try {
                    start.await();
                    Class<?> web = Class.forName("tsapi.web", true, loader);
                    Method encode = web.getMethod("jweb_util_base64encode", String.class);
                    encode.invoke(null, "jweb");
                    System.out.println("loader: loaded " + mapped("/libjwebnative.so"));
                } catch (Throwable e) {  // the runtime's refusal comes out of the class's initialiser as it is
                    System.out.println("loader: " + e);
                }
            });
            thread.start();
            threads.add(thread);
        }
        for (Thread thread : threads) thread.join();
    }

    // The file a library of this name was mapped from.
    private static String mapped(String name) throws IOException {
        try (Stream<String> lines = Files.lines(Path.of("/proc/self/maps"))) {
            return lines.filter(line -> line.endsWith(name))
                       .map(line -> line.substring(line.indexOf('/')))
                       .findFirst()
                       .orElse("(not mapped)");
        }
    }

    // ---- starting children ----

    private static final class Result {
        final int status;
        final String output;

        Result(int status, String output) {
            this.status = status;
            this.output = output;
        }

        boolean loaded(Path library) {
            return status == 0 && output.contains("script: loaded " + library + "\n");
        }
    }

    private static Result child(Path cache, String classPath, String... options) throws Exception {
        return finish(start(cache, classPath, options));
    }

    private static Process start(Path cache, String classPath, String... options) throws IOException {
        List<String> command = new ArrayList<>();
        command.add(Path.of(System.getProperty("java.home"), "bin", "java").toString());
        // This JVM's checks and native access, as the test command chose them.
        for (String option : ManagementFactory.getRuntimeMXBean().getInputArguments())
            if (option.startsWith("-Xcheck") || option.startsWith("-XX:") || option.startsWith("--enable-native-access"))
                command.add(option);
        Path empty = work.resolve("empty");
        Files.createDirectories(empty);
        command.add("-Djava.library.path=" + empty);
        command.add("-Djwebnative.natives.dir=" + cache);
        command.add("-Djweb.engine=" + System.getProperty("jweb.engine"));
        command.addAll(Arrays.asList(options));
        command.addAll(List.of("-cp", classPath + ":" + tests(), "jwebtests.NativesRun", "child"));
        return new ProcessBuilder(command).redirectErrorStream(true).start();
    }

    private static Result finish(Process jvm) throws Exception {
        String output = new String(jvm.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
        int status = jvm.waitFor();
        System.out.print(output);  // as it came: a warning in it fails the run
        System.out.println("(child JVM: exit status " + status + ")");
        return new Result(status, output);
    }

    // ---- helpers ----

    private static void check(String what, boolean ok) {
        System.out.println((ok ? "ok      " : "FAILED  ") + what);
        if (!ok) failures++;
    }

    private static String tests() {
        return Stream.of(System.getProperty("java.class.path").split(":"))
            .filter(jar -> jar.contains("jvm-tests"))
            .collect(Collectors.joining(":"));
    }

    private static URL url(String path) {
        try {
            return Path.of(path).toUri().toURL();
        } catch (IOException e) {
            throw new IllegalArgumentException(path, e);
        }
    }

    private static String version() {
        try (ZipFile jar = new ZipFile(System.getProperty("jweb.tsapi.jar"))) {
            java.util.jar.Manifest manifest = new java.util.jar.Manifest(jar.getInputStream(jar.getEntry("META-INF/MANIFEST.MF")));
            return manifest.getMainAttributes().getValue("Implementation-Version");
        } catch (IOException e) {
            throw new IllegalStateException(e);
        }
    }

    private static String target() {
        return "linux-" + (System.getProperty("os.arch").equals("amd64") ? "x86_64" : System.getProperty("os.arch"));
    }

    private static byte[] stored(String file) throws IOException {
        try (ZipFile jar = new ZipFile(System.getProperty("jweb.natives.jar"))) {
            return jar.getInputStream(jar.getEntry("META-INF/native/" + target() + "/" + file)).readAllBytes();
        }
    }

    private static boolean whole(Path file) throws Exception {
        if (!Files.isRegularFile(file)) return false;
        MessageDigest digest = MessageDigest.getInstance("SHA-256");
        String have = hex(digest.digest(Files.readAllBytes(file)));
        String want = new String(stored(file.getFileName() + ".sha256"), StandardCharsets.US_ASCII).split(" ")[0];
        return have.equals(want) && Arrays.equals(Files.readAllBytes(file), stored(file.getFileName().toString()));
    }

    private static String hex(byte[] bytes) {
        StringBuilder out = new StringBuilder();
        for (byte b : bytes) out.append(String.format("%02x", b & 0xff));
        return out.toString();
    }

    private static List<String> listing(Path folder) throws IOException {
        try (Stream<Path> files = Files.list(folder)) {
            return files.map(p -> p.getFileName().toString()).sorted().collect(Collectors.toList());
        }
    }

    private static boolean isRoot() throws Exception {
        Process id = new ProcessBuilder("id", "-u").start();
        return new String(id.getInputStream().readAllBytes(), StandardCharsets.US_ASCII).trim().equals("0") && id.waitFor() == 0;
    }

    // A folder the child cannot write in (or run code from): a tmpfs mounted
    // with `options` as root, for whom permissions do not count; else, for
    // "ro", a folder without write permission.
    private static Path mount(String options) throws Exception {
        Path folder = work.resolve("mount");
        Files.createDirectories(folder);
        if (isRoot()) {
            int status = new ProcessBuilder("mount", "-t", "tmpfs", "-o", options + ",size=16m", "tmpfs", folder.toString())
                             .inheritIO().start().waitFor();
            if (status != 0) throw new IllegalStateException("mount -o " + options + " failed: status " + status);
        } else {
            folder.toFile().setWritable(false, false);
        }
        return folder;
    }

    private static void unmount(Path folder) throws Exception {
        if (!Files.isDirectory(folder)) return;
        folder.toFile().setWritable(true, true);
        if (isRoot()) new ProcessBuilder("umount", folder.toString()).start().waitFor();  // not mounted: no matter
    }

    private static void deleteTree(Path root) throws IOException {
        if (!Files.exists(root)) return;
        try (Stream<Path> files = Files.walk(root)) {
            for (Path p : files.sorted((a, b) -> b.compareTo(a)).collect(Collectors.toList())) Files.delete(p);
        }
    }
}
