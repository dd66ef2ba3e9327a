import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import ij.IJ;
import ij.ImagePlus;
import ij.ImageStack;
import ij.gui.OvalRoi;
import ij.gui.Roi;
import ij.process.ByteProcessor;
import ij.process.ColorProcessor;
import ij.process.ImageProcessor;
import ij.process.ShortProcessor;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Random;
import java.util.concurrent.TimeUnit;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.Timeout;
import org.junit.jupiter.api.io.TempDir;
import org.pellwick.Cooccurrence;
import org.pellwick.EntropyThreshold;
import org.pellwick.GrayImage;
import org.pellwick.imagej.EntropyThresholdPlugin;

/** The plugin driven as ImageJ drives it, headless; and once through a real macro. */
@Timeout(value = 120, unit = TimeUnit.SECONDS)
class EntropyThresholdPluginTest {
    private static final Path SAMPLE = Path.of(System.getProperty("pellwick.sample_png"));

    @TempDir
    Path dir;

    /** Runs the plugin as ImageJ does, with the options a macro would give. */
    private static EntropyThresholdPlugin run(ImagePlus imp, boolean dark, boolean mask, boolean stack) {
        EntropyThresholdPlugin plugin = new EntropyThresholdPlugin();
        assertNotEquals(EntropyThresholdPlugin.DONE, plugin.setup("", imp));
        plugin.setOptions(dark, mask, stack);
        plugin.run(imp.getProcessor());
        return plugin;
    }

    /** The 8-bit levels of a processor, all of them. */
    private static GrayImage levels(ImageProcessor p) {
        int[] v = new int[p.getWidth() * p.getHeight()];
        for (int i = 0; i < v.length; i++) {
            v[i] = p.get(i % p.getWidth(), i / p.getWidth());
        }
        return GrayImage.of(p.getWidth(), p.getHeight(), v);
    }

    @Test
    void setsTheRangeAboveTheLevelOrUpToItForDarkObjects() {
        ImagePlus imp = IJ.openImage(SAMPLE.toString());
        assertEquals(8, imp.getBitDepth());
        int expected = EntropyThreshold.select(levels(imp.getProcessor()));
        EntropyThresholdPlugin plugin = run(imp, false, false, false);
        assertEquals(expected, plugin.level());
        assertEquals(expected + 1, imp.getProcessor().getMinThreshold());
        assertEquals(255, imp.getProcessor().getMaxThreshold());

        ImagePlus again = IJ.openImage(SAMPLE.toString());
        run(again, true, false, false);
        assertEquals(0, again.getProcessor().getMinThreshold());
        assertEquals(expected, again.getProcessor().getMaxThreshold());
    }

    @Test
    void createsTheMaskThatThresholdImageWrites() throws Exception {
        ImagePlus imp = IJ.openImage(SAMPLE.toString());
        ImagePlus mask = run(imp, false, true, false).mask();
        assertNotNull(mask);
        Path out = dir.resolve("tool.png");
        assertEquals(0, ThresholdImage.run(new String[] {SAMPLE.toString(), out.toString()}));
        GrayImage tool = ImageFiles.read(out, Long.MAX_VALUE);
        assertEquals(tool, levels(mask.getProcessor()));
        assertEquals(0, imp.getProcessor().getMinThreshold() == ImageProcessor.NO_THRESHOLD ? 0 : 1,
                "a mask leaves the image's range alone");
    }

    /** The level from the pixels of a selection, counting only pairs with both pixels inside. */
    private static int levelInside(ImageProcessor p, Roi roi) {
        int w = p.getWidth();
        int h = p.getHeight();
        long[][] counts = new long[256][256];
        for (int y = 0; y < h; y++) {
            for (int x = 0; x < w; x++) {
                if (!roi.contains(x, y)) {
                    continue;
                }
                if (x + 1 < w && roi.contains(x + 1, y)) {
                    counts[p.get(x, y)][p.get(x + 1, y)]++;
                }
                if (y + 1 < h && roi.contains(x, y + 1)) {
                    counts[p.get(x, y)][p.get(x, y + 1)]++;
                }
            }
        }
        int[][] m = new int[256][256];
        for (int a = 0; a < 256; a++) {
            for (int b = 0; b < 256; b++) {
                m[a][b] = (int) counts[a][b];
            }
        }
        return EntropyThreshold.select(m, 0, 255);
    }

    @Test
    void countsOnlyPairsInsideTheSelection() {
        for (Roi roi : List.of(new Roi(20, 30, 90, 60), new OvalRoi(40, 10, 100, 70))) {
            ImagePlus imp = IJ.openImage(SAMPLE.toString());
            imp.setRoi(roi);
            int whole = EntropyThreshold.select(levels(imp.getProcessor()));
            int expected = levelInside(imp.getProcessor(), roi);
            assertEquals(expected, run(imp, false, false, false).level(), roi.toString());
            assertEquals(expected + 1, imp.getProcessor().getMinThreshold(), roi.toString());
            assertTrue(expected != whole || roi instanceof OvalRoi, "the selection matters: " + whole);
        }
    }

    @Test
    void binsSixteenBitsLikeItsEightBitReduction() {
        ImagePlus eight = IJ.openImage(SAMPLE.toString());
        ImageProcessor p8 = eight.getProcessor();
        p8.set(0, 0, 0);  // the full range, so that 257 v bins to v
        p8.set(1, 0, 255);
        ShortProcessor p16 = new ShortProcessor(p8.getWidth(), p8.getHeight());
        for (int i = 0; i < p8.getPixelCount(); i++) {
            p16.set(i, 257 * p8.get(i));
        }
        ImagePlus sixteen = new ImagePlus("sixteen", p16);
        int level = run(eight, false, false, false).level();
        assertEquals(level, run(sixteen, false, false, false).level());
        double lower = sixteen.getProcessor().getMinThreshold();
        assertEquals(65535, sixteen.getProcessor().getMaxThreshold());
        // The lowest 16-bit value whose bin lies above the level.
        assertTrue((int) ((lower - 1) * 256.0 / 65535) <= level, "below: " + lower);
        assertTrue((int) (lower * 256.0 / 65535) > level, "at: " + lower);
    }

    @Test
    void convertsRgbByImageJsConversionInUse() {
        Random random = new Random(5);
        ColorProcessor rgb = new ColorProcessor(96, 64);
        for (int y = 0; y < 64; y++) {
            for (int x = 0; x < 96; x++) {
                int r = x < 48 ? 200 + random.nextInt(50) : 30 + random.nextInt(60);
                rgb.set(x, y, (r << 16) | (random.nextInt(256) << 8) | random.nextInt(256));
            }
        }
        double[] saved = ColorProcessor.getWeightingFactors();
        try {
            for (double[] weights : new double[][] {{1 / 3.0, 1 / 3.0, 1 / 3.0}, {0.299, 0.587, 0.114}}) {
                ColorProcessor.setWeightingFactors(weights[0], weights[1], weights[2]);
                ByteProcessor gray = rgb.convertToByteProcessor(false);
                int expected = EntropyThreshold.select(levels(gray));
                EntropyThresholdPlugin plugin = run(new ImagePlus("rgb", rgb.duplicate()), false, false, false);
                assertEquals(expected, plugin.level(), weights[0] + " weights");
                assertEquals(GrayImage.of(levels(gray).twoLevel(expected)),
                        levels(plugin.mask().getProcessor()), "an RGB image gets a mask");
            }
        } finally {
            ColorProcessor.setWeightingFactors(saved[0], saved[1], saved[2]);
        }
    }

    @Test
    void thresholdsAStackSliceBySliceOrAsAWhole() {
        ImageStack stack = new ImageStack(64, 48);
        List<int[][]> matrices = new ArrayList<>();
        List<Integer> perSlice = new ArrayList<>();
        for (int s = 0; s < 3; s++) {
            Random random = new Random(s);
            ByteProcessor p = new ByteProcessor(64, 48);
            for (int i = 0; i < p.getPixelCount(); i++) {
                p.set(i, (i % 64 < 20 + 10 * s ? 160 + 20 * s : 40) + random.nextInt(30));
            }
            stack.addSlice("slice " + s, p);
            matrices.add(levels(p).cooccurrence());
            perSlice.add(EntropyThreshold.select(levels(p)));
        }
        ImagePlus imp = new ImagePlus("stack", stack);
        EntropyThresholdPlugin each = run(imp, false, true, false);
        assertArrayEquals(perSlice.stream().mapToInt(Integer::intValue).toArray(), each.levels());
        assertEquals(3, each.mask().getStackSize());
        for (int s = 0; s < 3; s++) {
            GrayImage slice = levels(stack.getProcessor(s + 1));
            assertEquals(GrayImage.of(slice.twoLevel(perSlice.get(s))),
                    levels(each.mask().getStack().getProcessor(s + 1)), "slice " + s);
        }
        int whole = EntropyThreshold.select(Cooccurrence.sum(matrices), 0, 255);
        EntropyThresholdPlugin all = run(new ImagePlus("stack", stack), false, false, true);
        assertArrayEquals(new int[] {whole}, all.levels());
    }

    @Test
    void worksFromARealMacroWithTheJarInThePluginsFolder() throws Exception {
        Path xvfb = Path.of("/usr/bin/xvfb-run");
        assumeTrue(Files.isExecutable(xvfb), "SKIPPED: xvfb-run is not installed (apt-get install xvfb xauth)");
        Path plugins = Files.createDirectories(dir.resolve("plugins"));
        Files.copy(Path.of(System.getProperty("pellwick.imagej_jar")), plugins.resolve("pellwick_imagej.jar"));
        Path macro = dir.resolve("test.ijm");
        Files.writeString(macro, String.join("\n",
                "open(\"" + SAMPLE + "\");",
                "run(\"Co-occurrence Entropy Threshold\", \"objects=bright create\");",
                "saveAs(\"PNG\", \"" + dir.resolve("mask.png") + "\");",
                "open(\"" + SAMPLE + "\");",
                "run(\"Co-occurrence Entropy Threshold\", \"objects=dark\");",
                "getThreshold(lower, upper);",
                "File.saveString(lower + \" \" + upper, \"" + dir.resolve("range.txt") + "\");",
                "List.setCommands;",
                "File.saveString(List.get(\"Co-occurrence Entropy Threshold\"), \""
                        + dir.resolve("command.txt") + "\");", ""));
        // ImageJ's exit status says nothing: the files do. A dialog would hang: the timeout ends it.
        Process ij = new ProcessBuilder("timeout", "100", xvfb.toString(), "-a", Jvm.JAVA,
                "-Dplugins.dir=" + dir, "-cp", System.getProperty("pellwick.ij_jar"), "ij.ImageJ",
                "-batch", macro.toString())
                .directory(dir.toFile()).redirectErrorStream(true)
                .redirectOutput(dir.resolve("imagej.log").toFile()).start();
        ij.waitFor(110, TimeUnit.SECONDS);
        String log = Files.readString(dir.resolve("imagej.log"));
        assertEquals("org.pellwick.imagej.EntropyThresholdPlugin",
                Files.readString(dir.resolve("command.txt")).trim(), log);
        int level = EntropyThreshold.select(ImageFiles.read(SAMPLE, Long.MAX_VALUE));
        assertEquals("0 " + level, Files.readString(dir.resolve("range.txt")).trim(), log);
        assertEquals(GrayImage.of(ImageFiles.read(SAMPLE, Long.MAX_VALUE).twoLevel(level)),
                ImageFiles.read(dir.resolve("mask.png"), Long.MAX_VALUE), log);
        assertEquals("", log.trim(), "nothing on standard output");
    }

    @Test
    void declaresItsMenuPlace() throws IOException {
        try (java.util.jar.JarFile jar = new java.util.jar.JarFile(System.getProperty("pellwick.imagej_jar"))) {
            String config = new String(jar.getInputStream(jar.getEntry("plugins.config")).readAllBytes(),
                    java.nio.charset.StandardCharsets.UTF_8);
            assertTrue(config.contains("Image>Adjust, \"Co-occurrence Entropy Threshold\", "
                    + "org.pellwick.imagej.EntropyThresholdPlugin"), config);
        }
    }
}
