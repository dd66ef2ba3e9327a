import java.util.Arrays;
import java.util.Random;

/**
 * Times the whole Java call Threshold.pell_wick (copy, scan, output) on a
 * dense matrix, full range. Run it with standard output sent to a file; the
 * timings go to standard error.
 */
public final class ThresholdBench {
    private ThresholdBench() {}

    public static void main(String[] args) {
        int calls = args.length > 0 ? Integer.parseInt(args[0]) : 50;
        Random random = new Random(1);
        int[][] matrix = new int[256][256];
        for (int[] row : matrix) {
            for (int c = 0; c < row.length; c++) {
                row[c] = 1 + random.nextInt(1000);
            }
        }
        for (int i = 0; i < 10; i++) {
            Threshold.pell_wick(matrix, 0, 255); // warm-up
        }
        double[] ms = new double[calls];
        for (int i = 0; i < calls; i++) {
            long start = System.nanoTime();
            Threshold.pell_wick(matrix, 0, 255);
            ms[i] = (System.nanoTime() - start) / 1e6;
        }
        Arrays.sort(ms);
        System.err.printf("java call, dense matrix, 0..255: median %.3f ms over %d calls%n",
                ms[calls / 2], calls);
    }
}
