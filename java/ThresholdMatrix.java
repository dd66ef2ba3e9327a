import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;

/**
 * Thresholds a co-occurrence matrix stored as "row column count" lines (one
 * per non-zero cell, levels 0..255) and prints the chosen level.
 *
 * <p>Usage: {@code ThresholdMatrix FILE [START END]}; the range defaults to 0..255.
 */
public final class ThresholdMatrix {
    private ThresholdMatrix() {}

    public static void main(String[] args) {
        if (args.length != 1 && args.length != 3) {
            System.err.println("usage: ThresholdMatrix FILE [START END]");
            System.exit(2);
        }
        try {
            int[][] matrix = read(Path.of(args[0]));
            int start = args.length == 3 ? Integer.parseInt(args[1]) : 0;
            int end = args.length == 3 ? Integer.parseInt(args[2]) : 255;
            int level = Threshold.pell_wick(matrix, start, end);
            System.out.print("\r" + args[0] + ": threshold " + level + "\n");
            System.out.flush();
        } catch (IOException | IllegalArgumentException e) {
            System.err.println("ThresholdMatrix: " + e.getMessage());
            System.exit(1);
        }
    }

    static int[][] read(Path file) throws IOException {
        int[][] matrix = new int[256][256];
        List<String> lines = Files.readAllLines(file);
        for (int n = 0; n < lines.size(); n++) {
            String line = lines.get(n).trim();
            if (line.isEmpty()) {
                continue;
            }
            String[] fields = line.split("\\s+");
            try {
                if (fields.length != 3) {
                    throw new NumberFormatException();
                }
                matrix[Integer.parseInt(fields[0])][Integer.parseInt(fields[1])] =
                        Integer.parseInt(fields[2]);
            } catch (NumberFormatException | ArrayIndexOutOfBoundsException e) {
                throw new IOException(file + ":" + (n + 1) + ": expected 'row column count'"
                        + " with levels 0..255", e);
            }
        }
        return matrix;
    }
}
