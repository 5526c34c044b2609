import java.nio.file.Files;
import java.nio.file.Path;
import java.util.stream.Stream;

import tsapi.web;

/**
 * A script's dry run against the stand-in, as a project that depends on
 * tsapi from a Maven repository runs it: the stand-in engine first, from its
 * natives jar, then tsapi.web. Prints the file each library was loaded from.
 */
public final class DryRun {
    public static void main(String[] args) throws Exception {
        tsapi.standin.Engine.loadEngine();
        int failed = 0;
        failed += step("jweb_initialize()", web.jweb_initialize());
        failed += step("jweb_url(home)", web.jweb_url("home", "URL=http://shop.test/", new String[] {"Mode=HTML"}));
        failed += step("jweb_terminate()", web.jweb_terminate());
        System.out.println("DryRun: engine " + mapped("TswReplayMain"));
        System.out.println("DryRun: library " + mapped("jwebnative"));
        System.out.println("DryRun: " + web.jweb_util_base64encode("dry run"));
        System.out.println(failed == 0 ? "DryRun: every step passed" : "DryRun: " + failed + " steps failed");
        System.exit(failed == 0 ? 0 : 1);
    }

    private static int step(String what, int status) {
        System.out.println("DryRun: " + what + " = " + status);
        return status == 0 ? 0 : 1;
    }

    private static String mapped(String name) throws Exception {
        try (Stream<String> lines = Files.lines(Path.of("/proc/self/maps"))) {
            return lines.filter(line -> line.endsWith("/" + System.mapLibraryName(name)))
                .map(line -> line.substring(line.indexOf('/')))
                .findFirst()
                .orElse("(not loaded)");
        }
    }
}
