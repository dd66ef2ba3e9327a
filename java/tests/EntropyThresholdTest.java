import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.pellwick.Cooccurrence;
import org.pellwick.EntropyThreshold;

/** The named-package API against the compatible entry point, and the jar as applications use it. */
class EntropyThresholdTest {
    private static final Pattern LAST_BEST = Pattern.compile(
            "\\(entropia maxima: (\\d+\\.\\d{6}) en +(-?\\d+)\\)\r {77}$");

    @TempDir
    Path dir;

    static Stream<Object[]> matrices() {
        int[][] wide = new int[300][300];
        for (int r = 0; r < 300; r++) {
            for (int c = 0; c < 300; c++) {
                wide[r][c] = (r * 7 + c * 13) % 50;
            }
        }
        return Stream.of(
                new Object[] {"zeros", Matrices.zeros()},
                new Object[] {"dense", Matrices.dense(7)},
                new Object[] {"photo-like", Matrices.banded(8)},
                new Object[] {"negative entries", Matrices.withNegatives()},
                new Object[] {"300 x 300", wide});
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("matrices")
    void selectAndScoresAgreeWithThePrintedScan(String name, int[][] matrix) throws IOException {
        Path file = Matrices.write(matrix, dir.resolve("m.txt"));
        Jvm.Run printed = Jvm.java("NativeCalls", "file", file.toString());
        assertEquals(0, printed.exitCode(), printed.stderr());
        String out = printed.out();
        Matcher best = LAST_BEST.matcher(out.substring(0, out.lastIndexOf(" ".repeat(77)) + 77));
        assertTrue(best.find(), printed.out());
        int level = Integer.parseInt(best.group(2));

        assertEquals(level, EntropyThreshold.select(matrix, 0, 255));
        double[] scores = EntropyThreshold.scores(matrix);
        assertEquals(256, scores.length);
        assertEquals(0.0, scores[255]);
        int argmax = 0;
        for (int t = 1; t < 256; t++) {
            if (scores[t] > scores[argmax]) {
                argmax = t;
            }
        }
        assertEquals(scores[argmax] > 0 ? argmax : 0, level);
        assertEquals(best.group(1), String.format(java.util.Locale.ROOT, "%.6f", scores[level]));
        assertEquals(EntropyThreshold.select(matrix, 30, 40), Threshold.pell_wick(matrix, 30, 40));
    }

    @Test
    void malformedMatricesGetTheSameExceptionsAsTheCompatibleEntry() {
        for (MalformedInputs.Case c : MalformedInputs.all()) {
            Throwable select = assertThrows(c.thrown(), () -> EntropyThreshold.select(c.matrix(), 0, 9));
            Throwable scores = assertThrows(c.thrown(), () -> EntropyThreshold.scores(c.matrix()));
            assertEquals(c.message(), select.getMessage(), c.name());
            assertEquals(c.message(), scores.getMessage(), c.name());
        }
    }

    @Test
    void selectOfAnImageEqualsWhatThresholdImagePrints() throws Exception {
        Path sample = Path.of(System.getProperty("pellwick.sample_png"));
        Jvm.Run tool = Jvm.java("ThresholdImage", sample.toString(), dir.resolve("o.png").toString());
        assertEquals(0, tool.exitCode(), tool.stderr());
        BufferedImage image = ImageIO.read(sample.toFile());
        assertTrue(tool.out().endsWith(": threshold " + EntropyThreshold.select(image) + "\n"),
                tool.out());
        assertArrayEquals(Cooccurrence.of(image), ImageFiles.read(sample, Long.MAX_VALUE).cooccurrence());
    }

    /** What a JVM prints, run from a directory that holds the jar and nothing of the build. */
    private Jvm.Run fromJarOnly(String java, List<String> options, String mainClass, String... args)
            throws IOException {
        Path jar = dir.resolve("pellwick.jar");
        if (!Files.exists(jar)) {
            Files.copy(Path.of(System.getProperty("pellwick.jar")), jar);
        }
        List<String> command = new ArrayList<>(List.of(java));
        command.addAll(options);
        command.add(mainClass);
        command.addAll(List.of(args));
        return Jvm.run(command, Map.of(), dir);
    }

    static Stream<Path> jdks() throws IOException {
        try (Stream<Path> homes = Files.list(Path.of("/usr/lib/jvm"))) {
            return homes.filter(home -> Files.isExecutable(home.resolve("bin/javac")))
                    .filter(home -> !Files.isSymbolicLink(home)).toList().stream();
        }
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("jdks")
    void anApplicationInItsOwnPackageNeedsOnlyTheJar(Path jdk) throws IOException {
        Path sources = Path.of(System.getProperty("pellwick.example_app"));
        Jvm.Run compiled = Jvm.run(List.of(jdk.resolve("bin/javac").toString(), "-cp", "pellwick.jar",
                "-d", "classes", sources.toString()), Map.of(), prepared());
        assertEquals(0, compiled.exitCode(), compiled.stderr());
        Files.copy(Path.of(System.getProperty("pellwick.sample_png")), dir.resolve("in.png"));
        Jvm.Run run = fromJarOnly(jdk.resolve("bin/java").toString(),
                List.of("--enable-native-access=ALL-UNNAMED", "-cp", "pellwick.jar:classes"),
                "com.example.segment.Segment", "in.png", "out.png");
        assertEquals(0, run.exitCode(), run.stderr());
        int expected = EntropyThreshold.select(ImageIO.read(dir.resolve("in.png").toFile()));
        assertEquals("in.png: level " + expected + "\n", run.out(), "only the application's line");
        assertEquals("", run.stderr(), "no warning");
        assertTrue(Files.size(dir.resolve("out.png")) > 0);

        Jvm.Run tool = fromJarOnly(jdk.resolve("bin/java").toString(), List.of("-jar", "pellwick.jar"),
                "in.png", "tool.png");
        assertEquals(0, tool.exitCode(), tool.stderr());
        assertEquals("", tool.stderr(), "java -jar: no warning");
    }

    private Path prepared() throws IOException {
        Path jar = dir.resolve("pellwick.jar");
        if (!Files.exists(jar)) {
            Files.copy(Path.of(System.getProperty("pellwick.jar")), jar);
        }
        return dir;
    }

    @Test
    void theLoaderUsesTheBundledCopyAndLeavesNoFileBehind() throws IOException {
        Path tmp = Files.createDirectory(dir.resolve("tmp"));
        Jvm.Run run = fromJarOnly(Jvm.JAVA, List.of("-Djava.library.path=" + dir.resolve("nowhere"),
                "-Djava.io.tmpdir=" + tmp, "-cp", "pellwick.jar:" + System.getProperty("pellwick.tests_jar")),
                "Probe", "8");
        assertEquals(0, run.exitCode(), run.stderr());
        String[] levels = run.out().split("\n");
        assertEquals(8, levels.length, run.out());
        for (String level : levels) {
            assertEquals(String.valueOf(EntropyThreshold.select(Matrices.banded(3), 0, 255)), level);
        }
        try (Stream<Path> left = Files.list(tmp)) {
            assertEquals(List.of(), left.toList(), "files left in the temporary directory");
        }
    }

    @Test
    void aMissingOverrideIsOneClearError() throws IOException {
        Path missing = dir.resolve("no-such-lib.so");
        Jvm.Run run = fromJarOnly(Jvm.JAVA, List.of("-Dpellwick.library.path=" + missing,
                "-cp", "pellwick.jar:" + System.getProperty("pellwick.tests_jar")), "Probe", "2");
        assertEquals(3, run.exitCode(), run.stderr());
        assertTrue(run.stderr().contains("cannot load the native library pellwick; tried "
                + "pellwick.library.path=" + missing), run.stderr());
        assertFalse(run.stderr().contains("\tat "), run.stderr());
    }
}
