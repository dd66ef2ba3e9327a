import java.io.BufferedReader;
import java.io.BufferedWriter;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.io.RandomAccessFile;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.HashSet;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.Set;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.atomic.AtomicInteger;
import org.pellwick.EntropyThreshold;
import org.pellwick.GrayImage;
import org.pellwick.NativeLibrary;

/**
 * ThresholdImage's batch mode: many inputs into one directory, quietly, with
 * a line per finished file, a results file that survives a killed process,
 * and shards that split one list between independent processes.
 */
final class Batch {
    static final int MAX_THREADS = 64;

    /** The batch options of the command line. */
    record Settings(Path outDir, String list, int shard, int shards, Path results, boolean resume,
            int threads) {}

    /** One input of this shard: where it goes, or why it cannot be done. */
    private record Job(String input, Path path, Path output, String refusal) {}

    private Batch() {}

    static int run(Settings s, List<String> operands, int start, int end, long maxPixels)
            throws ImageFiles.Failure {
        NativeLibrary.load();  // a library that cannot load is one error, not one per input
        List<String> inputs = new ArrayList<>(operands);
        if (s.list() != null) {
            inputs.addAll(readList(s.list()));
        }
        List<Job> jobs = plan(inputs, s);
        try {
            Files.createDirectories(s.outDir());
        } catch (IOException e) {
            throw new ImageFiles.Failure(s.outDir() + ": cannot be created ("
                    + ImageFiles.reason(e) + ")");
        }
        Set<String> done = s.resume() ? finished(s.results()) : Set.of();
        List<Job> todo = new ArrayList<>();
        for (Job job : jobs) {
            if (!(job.output() != null && done.contains(job.input()) && Files.exists(job.output()))) {
                todo.add(job);
            }
        }
        try (Report report = new Report(s.results(), todo.size(), jobs.size() - todo.size())) {
            AtomicInteger next = new AtomicInteger();
            List<Callable<Void>> workers = new ArrayList<>();
            for (int w = 0; w < Math.min(s.threads(), Math.max(1, todo.size())); w++) {
                workers.add(() -> {
                    for (int i = next.getAndIncrement(); i < todo.size(); i = next.getAndIncrement()) {
                        threshold(todo.get(i), start, end, maxPixels, report);
                    }
                    return null;
                });
            }
            ExecutorService pool = Executors.newFixedThreadPool(workers.size());
            try {
                pool.invokeAll(workers);
            } catch (InterruptedException e) {
                Thread.currentThread().interrupt();
                throw new ImageFiles.Failure("interrupted");
            } finally {
                pool.shutdownNow();
            }
            return report.failed() == 0 ? 0 : 1;
        }
    }

    /**
     * Each input's output, decided over the whole list so that every shard
     * agrees; two inputs with one output, or an output that is an input, are
     * refused before anything is done. Returns this shard's jobs.
     */
    private static List<Job> plan(List<String> inputs, Settings s) throws ImageFiles.Failure {
        Map<Path, String> writers = new HashMap<>();
        Set<Path> read = new HashSet<>();
        List<Job> jobs = new ArrayList<>();
        Path outDir = s.outDir().toAbsolutePath().normalize();
        for (int i = 0; i < inputs.size(); i++) {
            String input = inputs.get(i);
            Path path = null;
            Path output = null;
            String refusal = null;
            try {
                path = ThresholdImage.path(input);
            } catch (ImageFiles.Failure unusable) {
                refusal = unusable.getMessage();
            }
            Path name = path == null ? null : path.getFileName();
            if (path != null && (name == null || input.endsWith("/"))) {
                refusal = input + ": not a file name";
            } else if (path != null) {
                output = outDir.resolve(name.toString().replaceFirst("\\.[^.]*$", "") + ".png");
                read.add(path.toAbsolutePath().normalize());
                String other = writers.putIfAbsent(output, input);
                if (input.equals(other)) {
                    continue;  // listed twice: done once
                }
                if (other != null) {
                    throw new ImageFiles.Failure(other + " and " + input + " would both write "
                            + output + "; rename one of them");
                }
            }
            if (i % s.shards() == s.shard()) {
                jobs.add(new Job(input, path, output, refusal));
            }
        }
        for (Map.Entry<Path, String> w : writers.entrySet()) {
            if (read.contains(w.getKey())) {
                throw new ImageFiles.Failure(w.getKey() + ": is an input, and " + w.getValue()
                        + " would overwrite it; choose another --out-dir");
            }
        }
        return jobs;
    }

    private static void threshold(Job job, int start, int end, long maxPixels, Report report) {
        try {
            if (job.refusal() != null) {
                throw new ImageFiles.Failure(job.refusal());
            }
            long begin = System.nanoTime();
            GrayImage image = ImageFiles.read(job.path(), maxPixels);
            int level = EntropyThreshold.select(ThresholdImage.matrix(image, job.input()), start, end);
            ImageFiles.writePng(image.twoLevel(level), job.output());
            report.done(job.input(), level, job.output(), (System.nanoTime() - begin) / 1e6);
        } catch (ImageFiles.Failure e) {
            report.failed(e.getMessage());
        } catch (OutOfMemoryError e) {
            report.failed(job.input() + ": not enough memory (give Java more with"
                    + " -Xmx, lower --max-pixels or --threads)");
        } catch (RuntimeException | LinkageError e) {
            report.failed(job.input() + ": internal error: " + ImageFiles.reason(e));
        }
    }

    /** The inputs listed in a file (or standard input), one per line; blank lines skipped. */
    static List<String> readList(String list) throws ImageFiles.Failure {
        List<String> inputs = new ArrayList<>();
        try (BufferedReader in = list.equals("-")
                ? new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8))
                : Files.newBufferedReader(ThresholdImage.path(list), StandardCharsets.UTF_8)) {
            for (String line = in.readLine(); line != null; line = in.readLine()) {
                if (!line.isBlank()) {
                    inputs.add(line.endsWith("\r") ? line.substring(0, line.length() - 1) : line);
                }
            }
        } catch (IOException e) {
            throw new ImageFiles.Failure(list + ": cannot be read (" + ImageFiles.reason(e) + ")");
        }
        return inputs;
    }

    /** The inputs that a results file records as done. */
    static Set<String> finished(Path results) throws ImageFiles.Failure {
        Set<String> inputs = new HashSet<>();
        if (!Files.exists(results)) {
            return inputs;
        }
        try (BufferedReader in = Files.newBufferedReader(results, StandardCharsets.UTF_8)) {
            for (String line = in.readLine(); line != null; line = in.readLine()) {
                String[] f = line.split("\t", -1);
                // A line cut short by a killed process has fewer fields: redone.
                if (f.length >= 4 && f[f.length - 3].matches("\\d+")
                        && f[f.length - 1].matches("\\d+\\.\\d")) {
                    inputs.add(line.substring(0, line.length() - f[f.length - 1].length()
                            - f[f.length - 2].length() - f[f.length - 3].length() - 3));
                }
            }
        } catch (IOException e) {
            throw new ImageFiles.Failure(results + ": cannot be read (" + ImageFiles.reason(e) + ")");
        }
        return inputs;
    }

    /**
     * What the user sees: a table row per finished file on standard output, a
     * line per failure on standard error, the results file, and a progress
     * bar on standard error when that is a terminal.
     */
    private static final class Report implements AutoCloseable {
        private final BufferedWriter results;
        private final Path resultsPath;
        private final int total;
        private final int skipped;
        private final long begin = System.nanoTime();
        private final boolean terminal = terminal();
        private final PrintStream out = System.out;
        private final PrintStream err = System.err;
        private int finished;
        private int failed;
        private long lastBar;

        Report(Path resultsPath, int total, int skipped) throws ImageFiles.Failure {
            this.resultsPath = resultsPath;
            this.total = total;
            this.skipped = skipped;
            try {
                results = resultsPath == null ? null : openForAppending(resultsPath);
            } catch (IOException e) {
                throw new ImageFiles.Failure(resultsPath + ": cannot be written ("
                        + ImageFiles.reason(e) + ")");
            }
            out.println(String.format(Locale.ROOT, "%-40s %5s %10s", "file", "level", "ms"));
            out.flush();
        }

        synchronized void done(String input, int level, Path output, double ms) {
            String millis = ThresholdImage.millis(ms);
            if (results != null) {
                try {
                    results.write(input + "\t" + level + "\t" + output + "\t" + millis + "\n");
                    results.flush();
                } catch (IOException e) {
                    failed(resultsPath + ": cannot be written (" + ImageFiles.reason(e) + ")");
                    return;
                }
            }
            row(String.format(Locale.ROOT, "%-40s %5d %10s", input, level, millis));
        }

        /** A failed input's one line is on standard error; it gets no table row. */
        synchronized void failed(String message) {
            failed++;
            finished++;
            clearBar();
            err.println("ThresholdImage: " + message);
            err.flush();
            drawBar();
        }

        int failed() {
            return failed;
        }

        private void row(String line) {
            finished++;
            clearBar();
            out.println(line);
            out.flush();
            drawBar();
        }

        private void drawBar() {
            long now = System.nanoTime();
            if (!terminal || (now - lastBar < 100_000_000L && finished < total)) {
                return;
            }
            lastBar = now;
            double seconds = (now - begin) / 1e9;
            double rate = finished / Math.max(seconds, 1e-9);
            long left = rate > 0 ? Math.round((total - finished) / rate) : 0;
            int width = 30;
            int filled = total == 0 ? width : (int) ((long) width * finished / total);
            err.print(String.format(Locale.ROOT, "\r[%s%s] %d/%d  %.1f/s  %d:%02d left ",
                    "#".repeat(filled), ".".repeat(width - filled), finished, total, rate,
                    left / 60, left % 60));
            err.flush();
        }

        private void clearBar() {
            if (terminal) {
                err.print("\r" + " ".repeat(79) + "\r");
                err.flush();
            }
        }

        @Override
        public void close() throws ImageFiles.Failure {
            clearBar();
            err.println(String.format(Locale.ROOT, "ThresholdImage: %d done, %d failed%s",
                    finished - failed, failed,
                    skipped > 0 ? ", " + skipped + " already done (skipped)" : ""));
            if (results != null) {
                try {
                    results.close();
                } catch (IOException e) {
                    throw new ImageFiles.Failure(resultsPath + ": cannot be written ("
                            + ImageFiles.reason(e) + ")");
                }
            }
        }

        /** Appends after a line that a killed process may have left cut short. */
        private static BufferedWriter openForAppending(Path path) throws IOException {
            boolean needsLineEnd = false;
            if (Files.exists(path) && Files.size(path) > 0) {
                try (RandomAccessFile f = new RandomAccessFile(path.toFile(), "r")) {
                    f.seek(f.length() - 1);
                    needsLineEnd = f.read() != '\n';
                }
            }
            BufferedWriter w = Files.newBufferedWriter(path, StandardCharsets.UTF_8,
                    StandardOpenOption.CREATE, StandardOpenOption.APPEND);
            if (needsLineEnd) {
                w.write('\n');
            }
            return w;
        }

        /** Whether standard error is likely a terminal (Java 17 cannot ask directly). */
        private static boolean terminal() {
            java.io.Console console = System.console();
            if (console == null) {
                return false;
            }
            try {  // Java 22 and later: a console may stand for redirected streams.
                return (Boolean) java.io.Console.class.getMethod("isTerminal").invoke(console);
            } catch (ReflectiveOperationException e) {
                return true;
            }
        }
    }
}
