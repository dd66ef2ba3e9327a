import java.awt.image.BufferedImage;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.file.AccessDeniedException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.ExecutionException;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import javax.imageio.ImageIO;
import org.pellwick.GrayImage;

/** Thresholds images with Threshold.pell_wick: see {@link #USAGE}. */
public final class ThresholdImage {
    static final String USAGE = String.join("\n",
            "usage: ThresholdImage [--range START END] [--compare FILE] INPUT OUTPUT",
            "       ThresholdImage [--range START END] [--threads N] --out-dir DIR INPUT...",
            "       ThresholdImage                  (thresholds the bundled sample image)",
            "",
            "Reads INPUT (PNG, JPEG, BMP, GIF), builds its co-occurrence matrix (each pixel",
            "with its right and its lower neighbour), chooses the threshold level N in",
            "START..END (default 0..255) and writes OUTPUT, a two-level PNG: levels above N",
            "white, the others black. Gray images keep their levels (16-bit ones are scaled",
            "to 8 bits); colour becomes gray by the ITU-R BT.601 weights",
            "0.299 R + 0.587 G + 0.114 B, rounded.",
            "",
            "  --range START END  candidate levels, inclusive",
            "  --compare FILE     also write the input and the result side by side",
            "  --out-dir DIR      threshold every INPUT into DIR/NAME.png, then print a table",
            "  --threads N        with --out-dir: images thresholded at once (default 1); the",
            "                     progress lines of concurrent scans interleave, each whole");

    private ThresholdImage() {}

    /** A refused command line or input: one line on stderr. */
    static final class Failure extends Exception {
        private static final long serialVersionUID = 1L;

        Failure(String message) {
            super(message);
        }
    }

    record Result(String input, int level, double millis) {}

    public static void main(String[] args) {
        try {
            System.exit(run(args));
        } catch (Failure e) {
            System.err.println("ThresholdImage: " + e.getMessage());
            System.exit(2);
        }
    }

    /** Runs the command; returns the exit status (0 all done, 1 some inputs failed). */
    static int run(String[] args) throws Failure {
        int start = 0;
        int end = 255;
        Path compare = null;
        Path outDir = null;
        int threads = 1;
        List<String> operands = new ArrayList<>();
        for (int i = 0; i < args.length; i++) {
            switch (args[i]) {
                case "--range" -> {
                    start = level(args, ++i, "START");
                    end = level(args, ++i, "END");
                    if (start > end) {
                        throw new Failure("bad range " + start + ".." + end + ": START is above END");
                    }
                }
                case "--compare" -> compare = Path.of(value(args, ++i, "--compare"));
                case "--out-dir" -> outDir = Path.of(value(args, ++i, "--out-dir"));
                case "--threads" -> {
                    threads = level(args, ++i, "N");
                    if (threads < 1) {
                        throw new Failure("--threads needs a positive count");
                    }
                }
                case "-h", "--help" -> {
                    System.out.println(USAGE);
                    return 0;
                }
                default -> {
                    if (args[i].startsWith("--")) {
                        throw new Failure("unknown option " + args[i] + "\n" + USAGE);
                    }
                    operands.add(args[i]);
                }
            }
        }
        if (outDir != null) {
            if (compare != null) {
                throw new Failure("--compare takes one INPUT, not --out-dir");
            }
            if (operands.isEmpty()) {
                throw new Failure("--out-dir needs at least one INPUT\n" + USAGE);
            }
            return batch(operands, outDir, start, end, threads);
        }
        if (operands.isEmpty() && args.length == 0) {
            return sample();
        }
        if (operands.size() != 2) {
            throw new Failure("expected INPUT and OUTPUT\n" + USAGE);
        }
        Result result = threshold(Path.of(operands.get(0)), Path.of(operands.get(1)), compare,
                start, end);
        System.out.print("\r" + result.input() + ": threshold " + result.level() + "\n");
        System.out.flush();
        return 0;
    }

    private static String value(String[] args, int i, String option) throws Failure {
        if (i >= args.length) {
            throw new Failure(option + " needs a value");
        }
        return args[i];
    }

    private static int level(String[] args, int i, String what) throws Failure {
        String text = value(args, i, what);
        try {
            return Integer.parseInt(text);
        } catch (NumberFormatException e) {
            throw new Failure(what + " must be an integer, not '" + text + "'");
        }
    }

    /** Reads, scans and writes one image. */
    static Result threshold(Path input, Path output, Path compare, int start, int end)
            throws Failure {
        GrayImage image;
        try {
            image = read(input);
        } catch (NoSuchFileException e) {
            throw new Failure(input + ": no such file");
        } catch (AccessDeniedException e) {
            throw new Failure(input + ": cannot be read (permission denied)");
        } catch (IOException e) {
            throw new Failure(message(input, e));
        }
        return threshold(image, input.toString(), output, compare, start, end);
    }

    static Result threshold(GrayImage image, String name, Path output, Path compare, int start,
            int end) throws Failure {
        long begin = System.nanoTime();
        int[][] matrix;
        try {
            matrix = image.cooccurrence();
        } catch (IllegalArgumentException e) {
            throw new Failure(name + ": " + e.getMessage());
        }
        int level = Threshold.pell_wick(matrix, start, end);
        double millis = (System.nanoTime() - begin) / 1e6;
        BufferedImage result = image.twoLevel(level);
        write(result, output);
        if (compare != null) {
            write(beside(image, result), compare);
        }
        return new Result(name, level, millis);
    }

    /** Reads PNG, JPEG, BMP, GIF and whatever else ImageIO reads. */
    static GrayImage read(Path file) throws IOException {
        if (!Files.exists(file)) {
            throw new NoSuchFileException(file.toString(), null, "no such file");
        }
        try (InputStream in = Files.newInputStream(file)) {
            return read(in, file.toString());
        }
    }

    static GrayImage read(InputStream in, String name) throws IOException {
        BufferedImage image = ImageIO.read(in);
        if (image == null) {
            throw new IOException(name + ": not an image in a format this Java reads");
        }
        try {
            return GrayImage.of(image);
        } catch (IllegalArgumentException e) {
            throw new IOException(name + ": " + e.getMessage(), e);
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

    private static void write(BufferedImage image, Path file) throws Failure {
        // Opened here rather than by ImageIO, which prints a stack trace when it cannot.
        try (OutputStream out = Files.newOutputStream(file)) {
            if (!ImageIO.write(image, "png", out)) {
                throw new Failure(file + ": no PNG writer in this Java");
            }
        } catch (NoSuchFileException e) {
            throw new Failure(file + ": cannot be written (no such directory)");
        } catch (AccessDeniedException e) {
            throw new Failure(file + ": cannot be written (permission denied)");
        } catch (IOException e) {
            throw new Failure(file + ": cannot be written (" + rootMessage(e) + ")");
        }
    }

    private static String message(Path input, IOException e) {
        String text = e.getMessage() != null ? e.getMessage() : e.getClass().getSimpleName();
        return text.startsWith(input.toString()) ? text : input + ": " + rootMessage(e);
    }

    private static String rootMessage(Throwable e) {
        Throwable root = e;
        while (root.getCause() != null) {
            root = root.getCause();
        }
        return root.getMessage() != null ? root.getMessage() : root.getClass().getSimpleName();
    }

    /** Thresholds every input into outDir; prints a table at the end. */
    static int batch(List<String> inputs, Path outDir, int start, int end, int threads)
            throws Failure {
        try {
            Files.createDirectories(outDir);
        } catch (IOException e) {
            throw new Failure(outDir + ": cannot be created (" + rootMessage(e) + ")");
        }
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        List<Future<Result>> results = new ArrayList<>();
        for (String input : inputs) {
            Path in = Path.of(input);
            String name = in.getFileName().toString().replaceFirst("\\.[^.]*$", "") + ".png";
            results.add(pool.submit(() -> threshold(in, outDir.resolve(name), null, start, end)));
        }
        pool.shutdown();
        List<String> table = new ArrayList<>();
        int failed = 0;
        for (int i = 0; i < inputs.size(); i++) {
            try {
                Result r = results.get(i).get();
                table.add(String.format("%-40s %5d %10.1f", r.input(), r.level(), r.millis()));
            } catch (ExecutionException e) {
                failed++;
                String why = e.getCause() instanceof Failure ? e.getCause().getMessage()
                        : inputs.get(i) + ": " + rootMessage(e.getCause());
                System.err.println("ThresholdImage: " + why);
                table.add(String.format("%-40s %5s %10s", inputs.get(i), "-", "failed"));
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                throw new Failure("interrupted");
            }
        }
        System.out.print("\r");
        System.out.println(String.format("%-40s %5s %10s", "file", "level", "ms"));
        table.forEach(System.out::println);
        System.out.flush();
        return failed == 0 ? 0 : 1;
    }

    /** The bundled sample: thresholded into ./pellwick-sample/. */
    static int sample() throws Failure {
        Path dir = Path.of("pellwick-sample");
        GrayImage image;
        try (InputStream in = ThresholdImage.class.getResourceAsStream("/pellwick/sample.png")) {
            if (in == null) {
                throw new Failure("the sample image is missing from the jar");
            }
            byte[] png = in.readAllBytes();
            image = read(new java.io.ByteArrayInputStream(png), "sample.png");
            Files.createDirectories(dir);
            Files.write(dir.resolve("sample.png"), png);
        } catch (IOException e) {
            throw new Failure(dir + ": " + rootMessage(e));
        }
        Path output = dir.resolve("sample-threshold.png");
        Path compare = dir.resolve("sample-compare.png");
        Result r = threshold(image, "sample.png", output, compare, 0, 255);
        System.out.print("\r" + r.input() + ": threshold " + r.level() + "\n");
        System.out.println("wrote " + dir.resolve("sample.png") + " (input), " + output
                + " (result) and " + compare + " (side by side)");
        System.out.flush();
        return 0;
    }
}
