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
import java.util.Set;
import java.util.TreeSet;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import org.pellwick.GrayImage;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

class ThresholdImageTest {
    @TempDir
    Path dir;

    private Path write(BufferedImage image, String name, String format) throws IOException {
        Path file = dir.resolve(name);
        assertTrue(ImageIO.write(image, format, file.toFile()), format);
        return file;
    }

    static Stream<String> losslessColourFormats() {
        return Stream.of("png", "bmp", "gif");
    }

    @ParameterizedTest
    @MethodSource("losslessColourFormats")
    void colourBecomesGrayByBt601Rounded(String format) throws IOException {
        int[] rgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E, 0xFFFFFF, 0x000000};
        int[] gray = {76, 150, 29, 18, 255, 0};  // 0.299 R + 0.587 G + 0.114 B, rounded
        BufferedImage image = new BufferedImage(rgb.length, 1, BufferedImage.TYPE_INT_RGB);
        for (int x = 0; x < rgb.length; x++) {
            image.setRGB(x, 0, rgb[x]);
        }
        assertArrayEquals(gray, ThresholdImage.read(write(image, "colour." + format, format)).levels());
    }

    @Test
    void grayKeepsItsLevelsAndSixteenBitsAreScaled() throws IOException {
        BufferedImage eight = new BufferedImage(4, 1, BufferedImage.TYPE_BYTE_GRAY);
        eight.getRaster().setSamples(0, 0, 4, 1, 0, new int[] {0, 1, 128, 255});
        assertArrayEquals(new int[] {0, 1, 128, 255}, ThresholdImage.read(write(eight, "g8.png", "png")).levels());

        BufferedImage sixteen = new BufferedImage(5, 1, BufferedImage.TYPE_USHORT_GRAY);
        sixteen.getRaster().setSamples(0, 0, 5, 1, 0, new int[] {0, 128, 129, 32896, 65535});
        // v * 255 / 65535, rounded
        assertArrayEquals(new int[] {0, 0, 1, 128, 255},
                ThresholdImage.read(write(sixteen, "g16.png", "png")).levels());
    }

    @Test
    void readsJpeg() throws IOException {
        BufferedImage image = new BufferedImage(16, 8, BufferedImage.TYPE_INT_RGB);
        GrayImage read = ThresholdImage.read(write(image, "black.jpg", "jpg"));
        assertEquals(16, read.width());
        assertEquals(8, read.height());
        assertTrue(read.level(0, 0) <= 2, "black stays about black");
    }

    private static Jvm.Run tool(Path workingDir, String... args) {
        List<String> command = new ArrayList<>(List.of(Jvm.JAVA, "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("java.class.path"), "ThresholdImage"));
        command.addAll(List.of(args));
        return Jvm.run(command, Map.of(), workingDir);
    }

    private static Set<Integer> levelsOf(Path png) throws IOException {
        Set<Integer> levels = new TreeSet<>();
        for (int level : ThresholdImage.read(png).levels()) {
            levels.add(level);
        }
        return levels;
    }

    @Test
    void thresholdsTheBundledSampleLikeTheEngine() throws IOException {
        Jvm.Run run = tool(dir);
        assertEquals(0, run.exitCode(), run.stderr());
        Matcher level = Pattern.compile("sample.png: threshold (\\d+)\n").matcher(run.out());
        assertTrue(level.find(), run.out());
        assertTrue(run.out().contains("wrote pellwick-sample/sample.png"), run.out());

        // The same matrix as the bundled one, built by a separate program.
        Path matrixFile = Path.of(System.getProperty("pellwick.sample_matrix"));
        int[][] bundled = ThresholdMatrix.read(matrixFile);
        assertArrayEquals(bundled, ThresholdImage.read(dir.resolve("pellwick-sample/sample.png")).cooccurrence());
        Jvm.Run engine = Jvm.run(List.of(System.getProperty("pellwick.scan_matrix"), matrixFile.toString()),
                Map.of());
        assertTrue(engine.out().endsWith(": threshold " + level.group(1) + "\n"), engine.out());

        assertEquals(Set.of(0, 255), levelsOf(dir.resolve("pellwick-sample/sample-threshold.png")));
        BufferedImage compare = ImageIO.read(dir.resolve("pellwick-sample/sample-compare.png").toFile());
        assertEquals(2 * 192 + 8, compare.getWidth());
    }

    @Test
    void batchMatchesSingleCallsAndReportsFailures() throws IOException {
        Path sample = Path.of(System.getProperty("pellwick.sample_png"));
        BufferedImage other = new BufferedImage(64, 64, BufferedImage.TYPE_BYTE_GRAY);
        for (int y = 0; y < 64; y++) {
            for (int x = 0; x < 64; x++) {
                other.getRaster().setSample(x, y, 0, (x * 3 + y * 2) % 256);
            }
        }
        Path second = write(other, "ramp.png", "png");
        Jvm.Run single = tool(dir, second.toString(), dir.resolve("single.png").toString());
        assertEquals(0, single.exitCode(), single.stderr());

        Path out = dir.resolve("out");
        Jvm.Run batch = tool(dir, "--threads", "3", "--out-dir", out.toString(), sample.toString(),
                second.toString(), dir.resolve("missing.png").toString(), sample.toString());
        assertEquals(1, batch.exitCode(), batch.stderr());
        assertTrue(batch.stderr().contains("missing.png: no such file"), batch.stderr());
        assertTrue(Files.exists(out.resolve("ramp.png")) && Files.exists(out.resolve("sample.png")));
        assertArrayEquals(ThresholdImage.read(dir.resolve("single.png")).levels(),
                ThresholdImage.read(out.resolve("ramp.png")).levels());
        String table = batch.out().substring(batch.out().lastIndexOf("file"));
        assertEquals(5, table.split("\n").length, table);
        assertTrue(table.contains("failed"), table);
    }

    static Stream<Object[]> badInputs() {
        return Stream.of(
                new Object[] {"missing input", new String[] {"nope.png", "out.png"}, "nope.png: no such file"},
                new Object[] {"not an image", new String[] {"text.png", "out.png"}, "text.png: not an image"},
                new Object[] {"range upside down", new String[] {"--range", "10", "5", "in.png", "out.png"},
                        "bad range 10..5"},
                new Object[] {"range not a number", new String[] {"--range", "x", "5", "in.png", "out.png"},
                        "START must be an integer"},
                new Object[] {"unwritable output", new String[] {"in.png", "no/such/dir/out.png"},
                        "no/such/dir/out.png: cannot be written"},
                new Object[] {"one operand", new String[] {"in.png"}, "expected INPUT and OUTPUT"},
                new Object[] {"unknown option", new String[] {"--fast", "in.png", "out.png"},
                        "unknown option --fast"});
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("badInputs")
    void badInputGetsOneLineAndNoStackTrace(String name, String[] args, String message)
            throws IOException {
        Files.writeString(dir.resolve("text.png"), "not a picture");
        Files.copy(Path.of(System.getProperty("pellwick.sample_png")), dir.resolve("in.png"));
        Jvm.Run run = tool(dir, args);
        assertEquals(2, run.exitCode(), run.stderr());
        assertTrue(run.stderr().startsWith("ThresholdImage: ") && run.stderr().contains(message),
                run.stderr());
        assertFalse(run.stderr().contains("Exception") || run.stderr().contains("\tat "), run.stderr());
    }
}
