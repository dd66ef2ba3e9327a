import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.image.BufferedImage;
import java.awt.image.DataBuffer;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.attribute.FileTime;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.TreeSet;
import java.util.function.Function;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import javax.imageio.ImageIO;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;
import org.pellwick.EntropyThreshold;
import org.pellwick.GrayImage;

class ThresholdImageTest {
    @TempDir
    Path dir;

    private Path write(BufferedImage image, String name, String format) {
        return HostileFiles.write(image, format, dir.resolve(name));
    }

    private static GrayImage read(Path file) throws ImageFiles.Failure {
        return ImageFiles.read(file, Long.MAX_VALUE);
    }

    static Stream<String> losslessColourFormats() {
        return Stream.of("png", "bmp", "gif");
    }

    @ParameterizedTest
    @MethodSource("losslessColourFormats")
    void colourFilesBecomeGrayByBt601Rounded(String format) throws Exception {
        int[] rgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E, 0xFFFFFF, 0x000000};
        int[] gray = {76, 150, 29, 18, 255, 0};  // 0.299 R + 0.587 G + 0.114 B, rounded
        BufferedImage image = new BufferedImage(rgb.length, 1, BufferedImage.TYPE_INT_RGB);
        for (int x = 0; x < rgb.length; x++) {
            image.setRGB(x, 0, rgb[x]);
        }
        assertArrayEquals(gray, read(write(image, "colour." + format, format)).levels());
    }

    @Test
    void grayFilesKeepTheirLevelsAndSixteenBitsAreScaled() throws Exception {
        BufferedImage eight = new BufferedImage(4, 1, BufferedImage.TYPE_BYTE_GRAY);
        eight.getRaster().setSamples(0, 0, 4, 1, 0, new int[] {0, 1, 128, 255});
        BufferedImage sixteen = new BufferedImage(5, 1, BufferedImage.TYPE_USHORT_GRAY);
        sixteen.getRaster().setSamples(0, 0, 5, 1, 0, new int[] {0, 128, 129, 32896, 65535});
        for (String format : List.of("png", "tiff")) {
            assertArrayEquals(new int[] {0, 1, 128, 255},
                    read(write(eight, "g8." + format, format)).levels(), format);
            // v * 255 / 65535, rounded
            assertArrayEquals(new int[] {0, 0, 1, 128, 255},
                    read(write(sixteen, "g16." + format, format)).levels(), format);
        }
        BufferedImage black = new BufferedImage(16, 8, BufferedImage.TYPE_INT_RGB);
        GrayImage jpeg = read(write(black, "black.jpg", "jpg"));
        assertEquals(16, jpeg.width());
        assertTrue(jpeg.level(0, 0) <= 2, "black stays about black");
    }

    private static Jvm.Run tool(Path workingDir, String... args) {
        return tool(workingDir, List.of(), Map.of(), args);
    }

    private static Jvm.Run tool(Path workingDir, List<String> jvmOptions, Map<String, String> env,
            String... args) {
        List<String> command = new ArrayList<>(List.of(Jvm.JAVA, "-Xcheck:jni"));
        command.addAll(jvmOptions);
        command.addAll(List.of("-cp", System.getProperty("java.class.path"), "ThresholdImage"));
        command.addAll(List.of(args));
        return Jvm.run(command, env, workingDir);
    }

    private static Set<Integer> levelsOf(Path png) throws Exception {
        Set<Integer> levels = new TreeSet<>();
        for (int level : read(png).levels()) {
            levels.add(level);
        }
        return levels;
    }

    /** The two-level result of an input, as the library computes it in this JVM. */
    private static GrayImage expectedResult(Path input) throws Exception {
        GrayImage image = read(input);
        return GrayImage.of(image.twoLevel(EntropyThreshold.select(image)));
    }

    @Test
    void thresholdsTheBundledSampleLikeTheEngine() throws Exception {
        Jvm.Run run = tool(dir);
        assertEquals(0, run.exitCode(), run.stderr());
        Matcher level = Pattern.compile("sample.png: threshold (\\d+)\n").matcher(run.out());
        assertTrue(level.find(), run.out());
        assertTrue(run.out().contains("wrote pellwick-sample/sample.png"), run.out());

        // The same matrix as the bundled one, built by a separate program.
        Path matrixFile = Path.of(System.getProperty("pellwick.sample_matrix"));
        assertArrayEquals(Matrices.read(matrixFile),
                read(dir.resolve("pellwick-sample/sample.png")).cooccurrence());
        Jvm.Run engine = Jvm.run(List.of(System.getProperty("pellwick.scan_matrix"),
                matrixFile.toString()), Map.of());
        assertTrue(engine.out().endsWith(": threshold " + level.group(1) + "\n"), engine.out());

        assertEquals(Set.of(0, 255), levelsOf(dir.resolve("pellwick-sample/sample-threshold.png")));
        BufferedImage compare = ImageIO.read(dir.resolve("pellwick-sample/sample-compare.png").toFile());
        assertEquals(2 * 192 + 8, compare.getWidth());
    }

    /** A command that must be refused: its files, arguments, exit status and message. */
    record Refused(String name, Function<Path, String[]> setup, int exit, String message) {
        @Override
        public String toString() {
            return name;
        }
    }

    private static String file(Path dir, String name) {
        return dir.resolve(name).toString();
    }

    private static String sample(Path dir) {
        Path copy = dir.resolve("in.png");
        try {
            if (!Files.exists(copy)) {
                Files.copy(Path.of(System.getProperty("pellwick.sample_png")), copy);
            }
        } catch (IOException e) {
            throw new java.io.UncheckedIOException(e);
        }
        return copy.toString();
    }

    private static String[] single(Path input) {
        return new String[] {input.toString(), input.resolveSibling("out.png").toString()};
    }

    static Stream<Refused> refused() {
        return Stream.of(
                new Refused("missing input", d -> single(d.resolve("nope.png")), 2, "nope.png: no such file"),
                new Refused("a directory", d -> single(d), 2, ": is a directory"),
                new Refused("not an image", d -> single(HostileFiles.bytes(new byte[] {'h', 'i'},
                        d.resolve("text.png"))), 2, "text.png: not an image"),
                new Refused("PNG declaring 60000 x 60000", d -> single(HostileFiles.pngBomb(60000,
                        60000, d.resolve("bomb.png"))), 2, "60000 x 60000 pixels exceed the limit"),
                new Refused("GIF declaring 60000 x 60000", d -> single(HostileFiles.sparseGif(60000,
                        60000, d.resolve("bomb.gif"))), 2, "60000 x 60000 pixels exceed the limit"),
                new Refused("over --max-pixels", d -> new String[] {"--max-pixels", "1000",
                    sample(d), file(d, "out.png")}, 2, "in.png: 192 x 128 pixels exceed the limit of 1000 (--max-pixels)"),
                new Refused("signed 16-bit TIFF", d -> single(HostileFiles.grayTiff(
                        DataBuffer.TYPE_SHORT, d.resolve("s16.tif"))), 2, "signed 16-bit gray samples"),
                new Refused("32-bit TIFF", d -> single(HostileFiles.grayTiff(DataBuffer.TYPE_INT,
                        d.resolve("i32.tif"))), 2, "32-bit integer gray samples"),
                new Refused("float TIFF", d -> single(HostileFiles.grayTiff(DataBuffer.TYPE_FLOAT,
                        d.resolve("f.tif"))), 2, "floating-point gray samples"),
                new Refused("double TIFF", d -> single(HostileFiles.grayTiff(DataBuffer.TYPE_DOUBLE,
                        d.resolve("d.tif"))), 2, "double-precision gray samples"),
                new Refused("CMYK JPEG", d -> single(HostileFiles.cmykJpeg(d.resolve("cmyk.jpg"))), 2,
                        "CMYK colour"),
                new Refused("JPEG cut in half", d -> single(HostileFiles.truncated("jpg",
                        d.resolve("cut.jpg"))), 2, "cut.jpg: damaged image data"),
                new Refused("PNG cut in half", d -> single(HostileFiles.truncated("png",
                        d.resolve("cut.png"))), 2, "cut.png: damaged image data"),
                new Refused("GIF cut in half", d -> single(HostileFiles.truncated("gif",
                        d.resolve("cut.gif"))), 2, "cut.gif: damaged image data"),
                new Refused("GIF with one pixel of data", d -> single(HostileFiles.sparseGif(64, 64,
                        d.resolve("sparse.gif"))), 2, "sparse.gif: damaged image data (pixels for 0 of 64 rows)"),
                new Refused("OUTPUT is INPUT", d -> new String[] {sample(d), sample(d)}, 2,
                        "in.png: is the input; refusing to overwrite it"),
                new Refused("--compare is INPUT", d -> new String[] {"--compare", sample(d), sample(d),
                    file(d, "out.png")}, 2, "in.png: is the input; refusing to overwrite it"),
                new Refused("range above 255", d -> new String[] {"--range", "300", "400", sample(d),
                    file(d, "out.png")}, 2, "START must be an integer in 0..255, not '300'"),
                new Refused("negative range", d -> new String[] {"--range", "-50", "-10", sample(d),
                    file(d, "out.png")}, 2, "START must be an integer in 0..255, not '-50'"),
                new Refused("range to the int limit", d -> new String[] {"--range", "0", "2147483647",
                    sample(d), file(d, "out.png")}, 2, "END must be an integer in 0..255"),
                new Refused("range upside down", d -> new String[] {"--range", "10", "5", sample(d),
                    file(d, "out.png")}, 2, "bad range 10..5: START is above END (see --help)"),
                new Refused("--threads without --out-dir", d -> new String[] {"--threads", "2",
                    sample(d), file(d, "out.png")}, 2, "--threads goes with --out-dir (see --help)"),
                new Refused("too many threads", d -> new String[] {"--threads", "100000", "--out-dir",
                    file(d, "o"), sample(d)}, 2, "--threads must be an integer in 1..64"),
                new Refused("unknown option", d -> new String[] {"--fast", sample(d), file(d, "out.png")},
                        2, "unknown option --fast (see --help)"),
                new Refused("one operand", d -> new String[] {sample(d)}, 2,
                        "expected INPUT and OUTPUT, got 1 operand (see --help)"),
                new Refused("three operands", d -> new String[] {sample(d), "a.png", "b.png"}, 2,
                        "expected INPUT and OUTPUT, got 3 operands (see --help)"),
                new Refused("unwritable output", d -> new String[] {sample(d), file(d, "no/such/o.png")},
                        2, "o.png: cannot be written (no such directory)"),
                new Refused("batch names that clash", d -> {
                    Path a = d.resolve("a");
                    Path b = d.resolve("b");
                    try {
                        Files.createDirectories(a);
                        Files.createDirectories(b);
                    } catch (IOException e) {
                        throw new java.io.UncheckedIOException(e);
                    }
                    HostileFiles.write(HostileFiles.noise(8, 8, BufferedImage.TYPE_INT_RGB, 2), "png",
                            a.resolve("x.png"));
                    HostileFiles.write(HostileFiles.noise(8, 8, BufferedImage.TYPE_INT_RGB, 3), "bmp",
                            b.resolve("x.bmp"));
                    return new String[] {"--out-dir", file(d, "o"), a.resolve("x.png").toString(),
                        b.resolve("x.bmp").toString()};
                }, 2, "x.bmp would both write"),
                new Refused("batch output over its input", d -> new String[] {"--out-dir",
                    d.toString(), sample(d)}, 2, "in.png: is an input"),
                new Refused("a missing list", d -> new String[] {"--out-dir", file(d, "o"), "--list",
                    file(d, "list.txt")}, 2, "list.txt: cannot be read (no such file)"),
                new Refused("a bad shard", d -> new String[] {"--out-dir", file(d, "o"), "--shard",
                    "3/3", sample(d)}, 2, "--shard takes K/N with 0 <= K < N, not '3/3'"));
    }

    private static void assertOneLine(Jvm.Run run, String tool, String message) {
        String err = run.stderr();
        assertTrue(err.startsWith(tool + ": ") && err.contains(message), err);
        assertEquals(1, err.split("\n", -1).length - 1, "one line: " + err);
        assertFalse(err.contains("Exception") || err.contains("\tat "), err);
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("refused")
    void refusesWithOneLineAndNoStackTrace(Refused c) throws IOException {
        String[] args = c.setup().apply(dir);
        byte[] before = Files.exists(dir.resolve("in.png")) ? Files.readAllBytes(dir.resolve("in.png")) : null;
        Jvm.Run run = tool(dir, args);
        assertEquals(c.exit(), run.exitCode(), run.stderr());
        assertOneLine(run, "ThresholdImage", c.message());
        if (before != null) {
            assertArrayEquals(before, Files.readAllBytes(dir.resolve("in.png")), "the input is untouched");
        }
        assertFalse(Files.exists(dir.resolve("out.png")), "no output written");
    }

    @Test
    void refusesNamesTheLocaleCannotEncodeWithOneLine() throws Exception {
        sample(dir);
        // The name's bytes are UTF-8 whatever this JVM's locale; the tool runs in the C locale.
        String java = String.join(" ", Jvm.JAVA, "-cp", "'" + System.getProperty("java.class.path") + "'",
                "ThresholdImage");
        String name = "\"$(printf 'caf\\303\\251.png')\"";
        Jvm.Run copy = Jvm.run(List.of("sh", "-c", "cp in.png " + name), Map.of(), dir);
        assertEquals(0, copy.exitCode(), copy.stderr());
        Map<String, String> c = Map.of("LC_ALL", "C", "LANG", "C");
        Jvm.Run single = Jvm.run(List.of("sh", "-c", "exec " + java + " " + name + " out.png"), c, dir);
        assertEquals(2, single.exitCode(), single.stderr());
        assertOneLine(single, "ThresholdImage", "cannot be used in this locale's encoding");

        Jvm.Run batch = Jvm.run(List.of("sh", "-c", "exec " + java + " --out-dir o in.png / " + name),
                c, dir);
        assertEquals(1, batch.exitCode(), batch.stderr());
        assertTrue(batch.stderr().contains("ThresholdImage: /: not a file name\n"), batch.stderr());
        assertTrue(batch.stderr().contains("cannot be used in this locale's encoding"), batch.stderr());
        assertTrue(batch.stderr().endsWith("ThresholdImage: 1 done, 2 failed\n"), batch.stderr());
        assertEquals(expectedResult(dir.resolve("in.png")), read(dir.resolve("o/in.png")));
    }

    @Test
    void aLibraryThatCannotLoadIsOneLine() {
        sample(dir);
        Jvm.Run run = tool(dir, List.of("-Dpellwick.library.path=" + dir.resolve("none.so")), Map.of(),
                "in.png", "out.png");
        assertEquals(2, run.exitCode(), run.stderr());
        assertOneLine(run, "ThresholdImage", "cannot load the native library pellwick");
    }

    /** Good inputs of different sizes and looks. */
    private List<Path> goodInputs(int count, int size) {
        List<Path> inputs = new ArrayList<>();
        for (int i = 0; i < count; i++) {
            BufferedImage image = HostileFiles.noise(size, size, BufferedImage.TYPE_BYTE_GRAY, i);
            for (int y = 0; y < size; y++) {  // a bright square on noise, so the level varies
                for (int x = size / 4; x < size / 2 + i % 7; x++) {
                    image.getRaster().setSample(x, y, 0, 200 + (x + i) % 50);
                }
            }
            inputs.add(HostileFiles.write(image, i % 2 == 0 ? "png" : "bmp",
                    dir.resolve("img" + i + (i % 2 == 0 ? ".png" : ".bmp"))));
        }
        return inputs;
    }

    private static void assertOutputsCorrect(List<Path> inputs, Path out) throws Exception {
        for (Path input : inputs) {
            String name = input.getFileName().toString().replaceFirst("\\.[^.]*$", "") + ".png";
            assertEquals(expectedResult(input), read(out.resolve(name)), name);
        }
        try (Stream<Path> files = Files.list(out)) {
            assertEquals(List.of(), files.filter(f -> f.getFileName().toString().endsWith(".part")).toList());
        }
    }

    @Test
    void aMixedBatchDoesTheGoodInputsAndReportsTheBadOnes() throws Exception {
        List<Path> good = goodInputs(4, 48);
        Path out = dir.resolve("out");
        List<String> args = new ArrayList<>(List.of("--threads", "3", "--out-dir", out.toString(),
                "--results", dir.resolve("results.tsv").toString()));
        good.forEach(p -> args.add(p.toString()));
        args.add(HostileFiles.truncated("png", dir.resolve("cut.png")).toString());
        args.add(dir.resolve("missing.png").toString());
        args.add(good.get(0).toString());  // listed twice: done once
        // A decimal-comma locale: numbers still take a point.
        Jvm.Run run = tool(dir, List.of(), Map.of("LC_ALL", "de_DE.UTF-8"), args.toArray(String[]::new));
        assertEquals(1, run.exitCode(), run.stderr());
        assertTrue(run.stderr().contains("missing.png: no such file"), run.stderr());
        assertTrue(run.stderr().contains("cut.png: damaged image data"), run.stderr());
        assertTrue(run.stderr().endsWith("ThresholdImage: 4 done, 2 failed\n"), run.stderr());
        assertFalse(run.out().contains("buscando"), "no per-level progress text in a batch");
        assertEquals(1 + 4, run.out().split("\n").length, run.out());  // header and a row per good input
        assertTrue(run.out().matches("(?s).* \\d+\\.\\d\n.*"), run.out());
        assertFalse(run.out().matches("(?s).*\\d,\\d.*"), run.out());
        assertOutputsCorrect(good, out);
        List<String> results = Files.readAllLines(dir.resolve("results.tsv"));
        assertEquals(4, results.size(), results.toString());
        for (String line : results) {
            String[] f = line.split("\t");
            assertEquals(4, f.length, line);
            assertTrue(f[3].matches("\\d+\\.\\d"), "milliseconds with a point: " + line);
        }
    }

    @Test
    void aKilledBatchResumesWithoutRedoingOrLosingWork() throws Exception {
        List<Path> inputs = goodInputs(32, 512);
        Path list = Files.write(dir.resolve("list.txt"),
                inputs.stream().map(Path::toString).toList());
        Path out = dir.resolve("out");
        Path results = dir.resolve("results.tsv");
        List<String> command = new ArrayList<>(List.of(Jvm.JAVA, "-cp", System.getProperty("java.class.path"),
                "ThresholdImage", "--out-dir", out.toString(), "--list", list.toString(),
                "--results", results.toString(), "--resume"));
        Process first = new ProcessBuilder(command).redirectErrorStream(true)
                .redirectOutput(ProcessBuilder.Redirect.DISCARD).start();
        long deadline = System.nanoTime() + 60_000_000_000L;
        while (first.isAlive() && System.nanoTime() < deadline
                && (!Files.exists(results) || Files.readAllLines(results).size() < 3)) {
            Thread.sleep(5);
        }
        first.destroyForcibly().waitFor();
        int doneBefore = Files.readAllLines(results).size();
        assertTrue(doneBefore >= 3 && doneBefore < inputs.size(),
                "killed part-way: " + doneBefore + " of " + inputs.size() + " done");
        Map<String, FileTime> kept = new HashMap<>();
        for (String line : Files.readAllLines(results)) {
            String[] f = line.split("\t");
            if (f.length == 4) {
                kept.put(f[2], Files.getLastModifiedTime(Path.of(f[2])));
            }
        }

        Jvm.Run resumed = Jvm.run(command, Map.of());
        assertEquals(0, resumed.exitCode(), resumed.stderr());
        assertTrue(resumed.stderr().contains("already done (skipped)"), resumed.stderr());
        assertOutputsCorrect(inputs, out);
        for (Map.Entry<String, FileTime> k : kept.entrySet()) {
            assertEquals(k.getValue(), Files.getLastModifiedTime(Path.of(k.getKey())), "not rewritten");
        }
        Set<String> recorded = Files.readAllLines(results).stream().filter(l -> l.split("\t").length == 4)
                .map(l -> l.split("\t")[0]).collect(Collectors.toSet());
        assertEquals(inputs.stream().map(Path::toString).collect(Collectors.toSet()), recorded);
    }

    @Test
    void shardsCoverAListExactlyOnce() throws Exception {
        List<Path> inputs = goodInputs(10, 16);
        Path list = Files.write(dir.resolve("list.txt"), inputs.stream().map(Path::toString).toList());
        List<String> recorded = new ArrayList<>();
        for (int k = 0; k < 3; k++) {
            Path results = dir.resolve("results-" + k + ".tsv");
            Jvm.Run run = tool(dir, "--out-dir", "out", "--list", list.toString(), "--shard", k + "/3",
                    "--results", results.toString());
            assertEquals(0, run.exitCode(), run.stderr());
            Files.readAllLines(results).forEach(l -> recorded.add(l.split("\t")[0]));
        }
        assertEquals(inputs.size(), recorded.size(), recorded.toString());
        assertEquals(inputs.stream().map(Path::toString).collect(Collectors.toSet()), Set.copyOf(recorded));
        assertOutputsCorrect(inputs, dir.resolve("out"));
    }

    static Stream<Object[]> badMatrixFiles() {
        return Stream.of(
                new Object[] {"0 0 5\n0 0 6\n", "m.txt:2: cell (0, 0) given a second time"},
                new Object[] {"1 2 -3\n", "m.txt:1: count outside 0..2147483647"},
                new Object[] {"1 2 3\n300 2 3\n", "m.txt:2: level outside 0..255"},
                new Object[] {"1 2\n", "m.txt:1: expected 'row column count'"},
                new Object[] {"1 2 " + "9".repeat(400) + "\n", "m.txt:1: line longer than 256"},
                new Object[] {"1 2 3\n\u00ff\n", "m.txt:2: expected 'row column count'"});
    }

    @ParameterizedTest(name = "{1}")
    @MethodSource("badMatrixFiles")
    void thresholdMatrixRefusesBadFilesByLine(String text, String message) throws IOException {
        Files.writeString(dir.resolve("m.txt"), text);
        Jvm.Run run = Jvm.run(List.of(Jvm.JAVA, "-cp", System.getProperty("java.class.path"),
                "ThresholdMatrix", "m.txt"), Map.of(), dir);
        assertEquals(2, run.exitCode(), run.stderr());
        assertOneLine(run, "ThresholdMatrix", message);
    }

    @Test
    void thresholdMatrixRefusesBadRangesAndMissingFiles() throws IOException {
        Files.writeString(dir.resolve("m.txt"), "1 200 5\n");
        for (String[] c : new String[][] {{"m.txt", "10", "5", "bad range 10..5"},
                {"m.txt", "0", "300", "END must be a level in 0..255"},
                {"missing.txt", "0", "9", "missing.txt: cannot be read (no such file)"},
                {".", "0", "9", ".: is a directory"}}) {
            Jvm.Run run = Jvm.run(List.of(Jvm.JAVA, "-cp", System.getProperty("java.class.path"),
                    "ThresholdMatrix", c[0], c[1], c[2]), Map.of(), dir);
            assertEquals(2, run.exitCode(), run.stderr());
            assertOneLine(run, "ThresholdMatrix", c[3]);
        }
        Jvm.Run good = Jvm.run(List.of(Jvm.JAVA, "-cp", System.getProperty("java.class.path"),
                "ThresholdMatrix", "m.txt"), Map.of(), dir);
        assertEquals(0, good.exitCode(), good.stderr());
        assertTrue(good.out().endsWith("\rm.txt: threshold 1\n"), good.out());
    }
}
