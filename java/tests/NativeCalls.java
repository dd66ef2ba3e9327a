import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;

/**
 * Child-JVM drivers for the tests that watch the process as a whole: its
 * standard output, its resident set, its threads. Exits 0 when all went as
 * expected, 3 with a reason on stderr otherwise.
 */
public final class NativeCalls {
    private NativeCalls() {}

    public static void main(String[] args) throws Exception {
        switch (args[0]) {
            case "malformed" -> malformed();
            case "repeat" -> repeat(Integer.parseInt(args[1]));
            case "threads" -> threads(Integer.parseInt(args[1]), Integer.parseInt(args[2]));
            case "scan" -> System.out.print("\rlevel " + Threshold.pell_wick(
                    Matrices.banded(Long.parseLong(args[1])), 0, 255) + "\n");
            case "file" -> {  // as the engine's scan_matrix: any counts, any range
                int start = args.length > 2 ? Integer.parseInt(args[2]) : 0;
                int end = args.length > 2 ? Integer.parseInt(args[3]) : 255;
                int level = Threshold.pell_wick(Matrices.read(Path.of(args[1])), start, end);
                System.out.print("\r" + args[1] + ": threshold " + level + "\n");
            }
            default -> fail("unknown mode " + args[0]);
        }
        System.out.flush();
    }

    private static void fail(String reason) {
        System.err.println(reason);
        System.exit(3);
    }

    /** Each malformed call throws and writes nothing. */
    private static void malformed() {
        for (MalformedInputs.Case c : MalformedInputs.all()) {
            try {
                Threshold.pell_wick(c.matrix(), 0, 255);
                fail(c + ": no exception");
            } catch (Throwable e) {
                if (!c.thrown().isInstance(e)) {
                    fail(c + ": " + e);
                }
            }
        }
    }

    /** Many calls, good and malformed; reports how much the resident set grew. */
    private static void repeat(int calls) throws IOException {
        int[][] dense = Matrices.dense(1);
        int[][] banded = Matrices.banded(2);
        List<MalformedInputs.Case> malformed = MalformedInputs.all();
        Runnable round = () -> {
            for (int i = 0; i < calls; i++) {
                if (i % 100 == 0) {
                    Threshold.pell_wick(banded, 0, 3);
                } else if (i % 4 == 0) {
                    try {
                        Threshold.pell_wick(malformed.get(i % malformed.size()).matrix(), 0, 255);
                    } catch (NullPointerException | IllegalArgumentException expected) {
                        // the point is what it leaves behind
                    }
                } else {
                    Threshold.pell_wick(dense, 1, 0);
                }
            }
        };
        round.run(); // warm up: code, buffers, heap
        long before = residentKb();
        round.run();
        System.err.println("rss-growth-kb: " + (residentKb() - before));
    }

    private static long residentKb() throws IOException {
        for (String line : Files.readAllLines(Path.of("/proc/self/status"))) {
            if (line.startsWith("VmRSS:")) {
                return Long.parseLong(line.replaceAll("\\D", ""));
            }
        }
        throw new IOException("no VmRSS in /proc/self/status");
    }

    /** Concurrent calls on different matrices give each its serial result. */
    private static void threads(int threads, int callsEach) throws Exception {
        List<int[][]> matrices = new ArrayList<>();
        List<Integer> serial = new ArrayList<>();
        for (int k = 0; k < threads; k++) {
            matrices.add(Matrices.banded(100 + k));
            serial.add(Threshold.pell_wick(matrices.get(k), 0, 255));
        }
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        List<Future<Integer>> results = new ArrayList<>();
        for (int call = 0; call < callsEach; call++) {
            for (int k = 0; k < threads; k++) {
                int[][] matrix = matrices.get(k);
                Callable<Integer> scan = () -> Threshold.pell_wick(matrix, 0, 255);
                results.add(pool.submit(scan));
            }
        }
        for (int i = 0; i < results.size(); i++) {
            int got = results.get(i).get();
            if (got != serial.get(i % threads)) {
                fail("matrix " + (i % threads) + ": " + got + " concurrently, "
                        + serial.get(i % threads) + " alone");
            }
        }
        pool.shutdown();
        System.err.println("serial: " + serial);
    }
}
