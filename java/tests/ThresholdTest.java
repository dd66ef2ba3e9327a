import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

class ThresholdTest {
    private static final String CLEARING = " ".repeat(77);
    private static final Pattern PROGRESS = Pattern.compile(
            "-> buscando threshold: \\(nivel gris: +-?\\d+\\) "
            + "\\(entropia maxima: (\\d+\\.\\d{6}|inf) en +-?\\d+\\)\r");

    @TempDir
    Path dir;

    private static void assertNoJniWarnings(Jvm.Run run) {
        assertFalse(run.out().contains("WARNING") || run.stderr().contains("WARNING"),
                () -> "JNI warnings: " + run.stderr() + run.out().replace('\r', '\n'));
    }

    private static Jvm.Run engine(Path matrixFile, String... range) {
        List<String> command = new ArrayList<>(List.of(
                System.getProperty("pellwick.scan_matrix"), matrixFile.toString()));
        command.addAll(List.of(range));
        return Jvm.run(command, Map.of());
    }

    @Test
    void jniChecksAreOnInThisJvm() {
        assertTrue(ManagementFactory.getRuntimeMXBean().getInputArguments().contains("-Xcheck:jni"));
    }

    static Stream<Object[]> matrices() {
        return Stream.of(
                new Object[] {"zeros", Matrices.zeros(), new String[0]},
                new Object[] {"one cell", Matrices.withCell(3, 200, 5), new String[0]},
                new Object[] {"dense", Matrices.dense(7), new String[0]},
                new Object[] {"banded", Matrices.banded(8), new String[] {"-5", "300"}},
                new Object[] {"negatives", Matrices.withNegatives(), new String[] {"0", "60"}},
                new Object[] {"start after end", Matrices.dense(9), new String[] {"10", "9"}});
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("matrices")
    void levelAndOutputBytesEqualTheEngines(String name, int[][] matrix, String[] range)
            throws IOException {
        Path file = Matrices.write(matrix, dir.resolve("matrix.txt"));
        List<String> args = new ArrayList<>(List.of("file", file.toString()));
        args.addAll(List.of(range));
        Jvm.Run java = Jvm.java("NativeCalls", args.toArray(String[]::new));
        Jvm.Run engine = engine(file, range);
        assertEquals(0, java.exitCode(), java.stderr());
        assertEquals(0, engine.exitCode(), engine.stderr());
        assertNoJniWarnings(java);
        assertArrayEquals(engine.stdout(), java.stdout(), () -> java.out() + "\n--\n" + engine.out());
    }

    @Test
    void startAfterEndCopiesButScansNothing() {
        Path file = Matrices.write(Matrices.dense(3), dir.resolve("m.txt"));
        Jvm.Run run = Jvm.java("NativeCalls", "file", file.toString(), "10", "9");
        assertEquals(CLEARING + "\r" + file + ": threshold 10\n", run.out());
    }

    @Test
    void readsOnlyTheTopLeftCornerOfALargerMatrix() {
        int[][] large = new int[300][300];
        int[][] corner = Matrices.banded(11);
        java.util.Random random = new java.util.Random(12);
        for (int r = 0; r < 300; r++) {
            for (int c = 0; c < 300; c++) {
                large[r][c] = r < 256 && c < 256 ? corner[r][c] : random.nextInt(1_000_000);
            }
        }
        large[299] = null; // rows past the 256th are not even looked at
        int expected = Threshold.pell_wick(corner, 0, 255);
        assertEquals(expected, Threshold.pell_wick(large, 0, 255));
        assertEquals(expected, Threshold.pell_wick(Matrices.banded(11), 0, 255));
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("MalformedInputs#all")
    void malformedMatrixThrowsAndTheNextCallWorks(MalformedInputs.Case c) {
        Throwable thrown = assertThrows(c.thrown(), () -> Threshold.pell_wick(c.matrix(), 0, 255));
        assertEquals(c.message(), thrown.getMessage());
        // Also with an empty range: a malformed matrix is an error whatever the range.
        assertThrows(c.thrown(), () -> Threshold.pell_wick(c.matrix(), 5, 4));
        assertEquals(3, Threshold.pell_wick(Matrices.withCell(3, 200, 5), 0, 255));
    }

    @Test
    void malformedMatrixWritesNothing() {
        Jvm.Run run = Jvm.java("NativeCalls", "malformed");
        assertEquals(0, run.exitCode(), run.stderr());
        assertEquals("", run.out());
        assertNoJniWarnings(run);
    }

    @Test
    void repeatedCallsLeaveNoMemoryAndNoReferencesBehind() {
        Jvm.Run run = Jvm.java("NativeCalls", "repeat", "20000");
        assertEquals(0, run.exitCode(), run.stderr());
        assertNoJniWarnings(run);
        Matcher growth = Pattern.compile("rss-growth-kb: (-?\\d+)").matcher(run.stderr());
        assertTrue(growth.find(), run.stderr());
        assertTrue(Long.parseLong(growth.group(1)) < 20 * 1024, run.stderr());
    }

    @Test
    void concurrentCallsAreIndependentAndTheirLinesWhole() {
        int threads = 8;
        int callsEach = 4;
        Jvm.Run run = Jvm.java("NativeCalls", "threads", Integer.toString(threads),
                Integer.toString(callsEach));
        assertEquals(0, run.exitCode(), run.stderr());
        assertNoJniWarnings(run);
        String out = run.out();
        int lines = 0;
        int clearings = 0;
        Matcher progress = PROGRESS.matcher(out);
        for (int at = 0; at < out.length(); ) {
            if (out.startsWith(CLEARING, at)) {
                at += CLEARING.length();
                clearings++;
            } else if (progress.find(at) && progress.start() == at) {
                at = progress.end();
                lines++;
            } else {
                throw new AssertionError("broken output at " + at + ": "
                        + out.substring(at, Math.min(out.length(), at + 100)));
            }
        }
        int scans = threads * (1 + callsEach);
        assertEquals(scans * 256, lines);
        assertEquals(scans, clearings);
    }

    @Test
    void keepsTheDecimalPointUnderASpanishLocale() {
        Jvm.Run run = Jvm.java(Jvm.JAVA, Map.of("LC_ALL", "es_ES.UTF-8"), "NativeCalls", "scan", "4");
        assertEquals(0, run.exitCode(), run.stderr());
        Matcher progress = PROGRESS.matcher(run.out());
        assertTrue(progress.find(), run.out());
        assertTrue(progress.group(1).contains("."));
        assertFalse(run.out().contains(","), run.out());
    }

    @Test
    void bindsToAnInstanceMethodDeclarationToo() {
        List<String> command = List.of(Jvm.JAVA, "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("pellwick.instance_jar"), "InstanceCall", "5");
        Jvm.Run instance = Jvm.run(command, Map.of());
        assertEquals(0, instance.exitCode(), instance.stderr());
        assertNoJniWarnings(instance);
        assertArrayEquals(Jvm.java("NativeCalls", "scan", "5").stdout(), instance.stdout());
    }

    @Test
    void loadsInEveryInstalledJvm() throws IOException {
        Path file = Matrices.write(Matrices.banded(6), dir.resolve("m.txt"));
        byte[] expected = engine(file).stdout();
        List<Path> javas;
        try (Stream<Path> homes = Files.list(Path.of("/usr/lib/jvm"))) {
            javas = homes.map(home -> home.resolve("bin/java")).filter(Files::isExecutable).toList();
        }
        assertFalse(javas.isEmpty());
        for (Path java : javas) {
            Jvm.Run run = Jvm.java(java.toString(), Map.of(), "ThresholdMatrix", file.toString());
            assertEquals(0, run.exitCode(), java + ": " + run.stderr());
            assertArrayEquals(expected, run.stdout(), java.toString());
        }
    }
}
