import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Random;

/** Matrices for the tests, and their "row column count" files. */
final class Matrices {
    private Matrices() {}

    static int[][] zeros() {
        return new int[256][256];
    }

    static int[][] withCell(int row, int column, int count) {
        int[][] m = zeros();
        m[row][column] = count;
        return m;
    }

    /** Every cell 1..1000. */
    static int[][] dense(long seed) {
        Random random = new Random(seed);
        int[][] m = zeros();
        for (int[] row : m) {
            for (int c = 0; c < row.length; c++) {
                row[c] = 1 + random.nextInt(1000);
            }
        }
        return m;
    }

    /** A few hundred cells near the diagonal, like an image's. */
    static int[][] banded(long seed) {
        Random random = new Random(seed);
        int[][] m = zeros();
        for (int k = 0; k < 400; k++) {
            int a = random.nextInt(256);
            int b = Math.max(0, Math.min(255, a + random.nextInt(21) - 10));
            m[a][b] += 1 + random.nextInt(50);
        }
        return m;
    }

    /** Counts of both signs that cancel block totals: division messages. */
    static int[][] withNegatives() {
        int[][] m = zeros();
        m[0][5] = 3;
        m[1][6] = -3;
        m[5][0] = 2;
        m[6][1] = -2;
        m[40][90] = 7;
        return m;
    }

    static Path write(int[][] matrix, Path file) {
        StringBuilder text = new StringBuilder();
        for (int r = 0; r < 256; r++) {
            for (int c = 0; c < 256; c++) {
                if (matrix[r][c] != 0) {
                    text.append(r).append(' ').append(c).append(' ').append(matrix[r][c]).append('\n');
                }
            }
        }
        try {
            return Files.writeString(file, text);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** Reads what {@link #write} wrote, negative counts included. */
    static int[][] read(Path file) {
        int[][] matrix = new int[256][256];
        try {
            for (String line : Files.readAllLines(file)) {
                String[] f = line.trim().split("\\s+");
                if (f.length == 3) {
                    matrix[Integer.parseInt(f[0])][Integer.parseInt(f[1])] = Integer.parseInt(f[2]);
                }
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
        return matrix;
    }
}
