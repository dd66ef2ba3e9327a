import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import org.pellwick.EntropyThreshold;

/**
 * A child JVM that loads the library as an application would: with N
 * threads at once, each selecting a level on the same matrix. Prints the
 * levels; on a load failure prints its message on stderr and exits 3.
 */
public final class Probe {
    private Probe() {}

    public static void main(String[] args) throws Exception {
        int threads = args.length > 0 ? Integer.parseInt(args[0]) : 1;
        int[][] matrix = Matrices.banded(3);
        ExecutorService pool = Executors.newFixedThreadPool(threads);
        try {
            List<Callable<Integer>> calls = new ArrayList<>();
            for (int i = 0; i < threads; i++) {
                calls.add(() -> EntropyThreshold.select(matrix, 0, 255));
            }
            StringBuilder levels = new StringBuilder();
            for (Future<Integer> f : pool.invokeAll(calls)) {
                levels.append(f.get()).append('\n');
            }
            System.out.print(levels);
        } catch (java.util.concurrent.ExecutionException e) {
            System.err.println(e.getCause());
            System.exit(3);
        } finally {
            pool.shutdown();
        }
    }
}
