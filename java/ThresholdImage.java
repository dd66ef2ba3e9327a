import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.InputStream;
import java.io.PrintStream;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import org.pellwick.GrayImage;

/** Thresholds image files: see {@link #USAGE}. */
public final class ThresholdImage {
    static final String USAGE = String.join("\n",
            "usage: ThresholdImage [--range START END] [--compare FILE] INPUT OUTPUT",
            "       ThresholdImage --out-dir DIR [options] [INPUT...]",
            "       ThresholdImage                  (thresholds the bundled sample image)",
            "",
            "Reads INPUT (PNG, JPEG, BMP, GIF, TIFF), builds its co-occurrence matrix (each",
            "pixel with its right and its lower neighbour), chooses the threshold level N in",
            "START..END (default 0..255) and writes OUTPUT, a two-level PNG: levels above N",
            "white, the others black. Gray images keep their levels (16-bit ones are scaled",
            "to 8 bits); colour becomes gray by the ITU-R BT.601 weights",
            "0.299 R + 0.587 G + 0.114 B, rounded.",
            "",
            "  --range START END  candidate levels, 0 <= START <= END <= 255",
            "  --compare FILE     also write the input and the result side by side",
            "  --max-pixels N     refuse images of more pixels (default: 100 million, less",
            "                     with a small heap)",
            "",
            "Batch (--out-dir): every INPUT into DIR/NAME.png, without the per-level",
            "progress text; a line per finished file on standard output.",
            "  --out-dir DIR      where the results go",
            "  --list FILE        also the inputs listed in FILE, one per line (- for stdin)",
            "  --shard K/N        only inputs K, K+N, K+2N, ... of the whole list (0 <= K < N)",
            "  --results FILE     append 'input<TAB>level<TAB>output<TAB>ms' as each file ends",
            "  --resume           skip inputs whose output exists and whose line is in --results",
            "  --threads N        images thresholded at once, 1.." + Batch.MAX_THREADS
                    + " (default 1)");

    private ThresholdImage() {}

    /** The command line, checked. */
    record Options(int start, int end, Path compare, long maxPixels, Batch.Settings batch,
            List<String> operands) {}

    public static void main(String[] args) {
        PrintStream err = System.err;
        int status;
        try {
            status = run(args);
        } catch (ImageFiles.Failure e) {
            err.println("ThresholdImage: " + e.getMessage());
            status = 2;
        } catch (OutOfMemoryError e) {
            err.println("ThresholdImage: out of memory (give Java more with -Xmx, or lower"
                    + " --max-pixels)");
            status = 2;
        } catch (LinkageError e) {
            err.println("ThresholdImage: " + ImageFiles.reason(e));
            status = 2;
        } catch (RuntimeException e) {
            err.println("ThresholdImage: internal error: " + ImageFiles.reason(e));
            status = 2;
        }
        System.out.flush();
        System.exit(status);
    }

    /** Runs the command; returns the exit status (0 all done, 1 some batch inputs failed). */
    static int run(String[] args) throws ImageFiles.Failure {
        if (args.length == 1 && (args[0].equals("-h") || args[0].equals("--help"))) {
            System.out.println(USAGE);
            return 0;
        }
        Options o = parse(args);
        if (o.batch() != null) {
            return Batch.run(o.batch(), o.operands(), o.start(), o.end(), o.maxPixels());
        }
        if (args.length == 0) {
            return sample();
        }
        Path input = path(o.operands().get(0));
        Path output = path(o.operands().get(1));
        refuseOverwriting(input, output, o.compare());
        GrayImage image = ImageFiles.read(input, o.maxPixels());
        int level = Threshold.pell_wick(matrix(image, input.toString()), o.start(), o.end());
        write(image, level, output, o.compare());
        System.out.print("\r" + input + ": threshold " + level + "\n");
        return 0;
    }

    static Options parse(String[] args) throws ImageFiles.Failure {
        int start = 0;
        int end = 255;
        Path compare = null;
        Long maxPixels = null;
        Path outDir = null;
        String list = null;
        int shard = 0;
        int shards = 1;
        Path results = null;
        boolean resume = false;
        Integer threads = null;
        List<String> operands = new ArrayList<>();
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            switch (arg) {
                case "--range" -> {
                    start = integer(args, ++i, "START", 0, 255);
                    end = integer(args, ++i, "END", 0, 255);
                    if (start > end) {
                        throw usage("bad range " + start + ".." + end + ": START is above END");
                    }
                }
                case "--compare" -> compare = path(value(args, ++i, arg));
                case "--max-pixels" -> maxPixels = (long) integer(args, ++i, "--max-pixels", 1,
                        Integer.MAX_VALUE);
                case "--out-dir" -> outDir = path(value(args, ++i, arg));
                case "--list" -> list = value(args, ++i, arg);
                case "--shard" -> {
                    String text = value(args, ++i, arg);
                    String[] kn = text.split("/", -1);
                    try {
                        shard = Integer.parseInt(kn[0]);
                        shards = kn.length == 2 ? Integer.parseInt(kn[1]) : -1;
                    } catch (NumberFormatException e) {
                        shards = -1;
                    }
                    if (shards < 1 || shard < 0 || shard >= shards) {
                        throw usage("--shard takes K/N with 0 <= K < N, not '" + text + "'");
                    }
                }
                case "--results" -> results = path(value(args, ++i, arg));
                case "--resume" -> resume = true;
                case "--threads" -> threads = integer(args, ++i, "--threads", 1, Batch.MAX_THREADS);
                default -> {
                    if (arg.startsWith("-") && arg.length() > 1) {
                        throw usage("unknown option " + arg);
                    }
                    operands.add(arg);
                }
            }
        }
        int pool = threads != null ? threads : 1;
        long limit = maxPixels != null ? maxPixels : ImageFiles.defaultMaxPixels(pool);
        if (outDir == null) {
            for (String[] batchOnly : new String[][] {{"--threads", threads == null ? null : ""},
                    {"--list", list}, {"--shard", shards == 1 ? null : ""},
                    {"--results", results == null ? null : ""}, {"--resume", resume ? "" : null}}) {
                if (batchOnly[1] != null) {
                    throw usage(batchOnly[0] + " goes with --out-dir");
                }
            }
            if (args.length > 0 && operands.size() != 2) {
                throw usage("expected INPUT and OUTPUT, got " + operands.size() + " operand"
                        + (operands.size() == 1 ? "" : "s"));
            }
            return new Options(start, end, compare, limit, null, operands);
        }
        if (compare != null) {
            throw usage("--compare takes one INPUT, not --out-dir");
        }
        if (resume && results == null) {
            throw usage("--resume needs --results");
        }
        if (operands.isEmpty() && list == null) {
            throw usage("--out-dir needs INPUT files or --list");
        }
        return new Options(start, end, null, limit,
                new Batch.Settings(outDir, list, shard, shards, results, resume, pool), operands);
    }

    static ImageFiles.Failure usage(String message) {
        return new ImageFiles.Failure(message + " (see --help)");
    }

    private static String value(String[] args, int i, String option) throws ImageFiles.Failure {
        if (i >= args.length) {
            throw usage(option + " needs a value");
        }
        return args[i];
    }

    private static int integer(String[] args, int i, String what, int min, int max)
            throws ImageFiles.Failure {
        String text = value(args, i, what);
        try {
            int value = Integer.parseInt(text);
            if (value >= min && value <= max) {
                return value;
            }
        } catch (NumberFormatException e) {
            // Reported below.
        }
        throw usage(what + " must be an integer in " + min + ".." + max + ", not '" + text + "'");
    }

    /** A path from the command line; names this locale cannot encode are refused. */
    static Path path(String name) throws ImageFiles.Failure {
        try {
            return Path.of(name);
        } catch (InvalidPathException e) {
            throw new ImageFiles.Failure(name + ": the file name cannot be used in this locale's"
                    + " encoding (" + System.getProperty("sun.jnu.encoding") + "; try LC_ALL=C.UTF-8)");
        }
    }

    /** Refuses, before anything is written, an output that would replace an input or another output. */
    static void refuseOverwriting(Path input, Path output, Path compare) throws ImageFiles.Failure {
        if (ImageFiles.sameFile(input, output)) {
            throw new ImageFiles.Failure(output + ": is the input; refusing to overwrite it");
        }
        if (compare != null && ImageFiles.sameFile(input, compare)) {
            throw new ImageFiles.Failure(compare + ": is the input; refusing to overwrite it");
        }
        if (compare != null && ImageFiles.sameFile(output, compare)) {
            throw new ImageFiles.Failure(compare + ": is also OUTPUT");
        }
    }

    /** The image's co-occurrence matrix; too large an image is a failure. */
    static int[][] matrix(GrayImage image, String name) throws ImageFiles.Failure {
        try {
            return image.cooccurrence();
        } catch (IllegalArgumentException e) {
            throw new ImageFiles.Failure(name + ": " + e.getMessage());
        }
    }

    /** Writes the two-level result, and the comparison if asked. */
    static void write(GrayImage image, int level, Path output, Path compare)
            throws ImageFiles.Failure {
        BufferedImage result = image.twoLevel(level);
        ImageFiles.writePng(result, output);
        if (compare != null) {
            ImageFiles.writePng(beside(image, result), compare);
        }
    }

    /** The image and its result side by side, as 8-bit gray. */
    static BufferedImage beside(GrayImage image, BufferedImage result) {
        int width = image.width();
        int height = image.height();
        BufferedImage out = new BufferedImage(2 * width + 8, height, BufferedImage.TYPE_BYTE_GRAY);
        java.awt.image.WritableRaster raster = out.getRaster();
        GrayImage other = GrayImage.of(result);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                raster.setSample(x, y, 0, image.level(x, y));
                raster.setSample(width + 8 + x, y, 0, other.level(x, y));
            }
            for (int x = width; x < width + 8; x++) {
                raster.setSample(x, y, 0, 128);
            }
        }
        return out;
    }

    /** The bundled sample: thresholded into ./pellwick-sample/. */
    static int sample() throws ImageFiles.Failure {
        Path dir = Path.of("pellwick-sample");
        byte[] png;
        try (InputStream in = ThresholdImage.class.getResourceAsStream("/pellwick/sample.png")) {
            if (in == null) {
                throw new ImageFiles.Failure("the sample image is missing from the jar");
            }
            png = in.readAllBytes();
            Files.createDirectories(dir);
        } catch (IOException e) {
            throw new ImageFiles.Failure(dir + ": cannot be created (" + ImageFiles.reason(e) + ")");
        }
        GrayImage image = ImageFiles.read(new java.io.ByteArrayInputStream(png), "sample.png",
                ImageFiles.defaultMaxPixels(1));
        try {
            Files.write(dir.resolve("sample.png"), png);
        } catch (IOException e) {
            throw new ImageFiles.Failure(dir.resolve("sample.png") + ": cannot be written ("
                    + ImageFiles.reason(e) + ")");
        }
        Path output = dir.resolve("sample-threshold.png");
        Path compare = dir.resolve("sample-compare.png");
        int level = Threshold.pell_wick(matrix(image, "sample.png"), 0, 255);
        write(image, level, output, compare);
        System.out.print("\rsample.png: threshold " + level + "\n");
        System.out.println("wrote " + dir.resolve("sample.png") + " (input), " + output
                + " (result) and " + compare + " (side by side)");
        return 0;
    }

    static String millis(double ms) {
        return String.format(Locale.ROOT, "%.1f", ms);
    }
}
