package org.pellwick;

import java.awt.image.BufferedImage;
import java.util.Objects;

/**
 * Gray-level thresholds chosen by the exponential conditional entropy of the
 * two off-diagonal blocks of a co-occurrence matrix (base 2.7182818).
 *
 * <p>For a candidate level t, the matrix splits into the block of rows 0..t
 * with columns above t and the block of rows above t with columns 0..t; the
 * candidate's score sums, over the non-zero cells of each block, the cell's
 * share of its block times 2.7182818 raised to one minus the cell's share of
 * its column inside the block. The chosen level is the lowest one with the
 * highest score above zero.
 *
 * <p>Nothing here writes to any output; the methods are thread-safe and keep
 * no state apart from the loaded native library. The matrix is read, never
 * changed: its top-left 256 x 256 corner is copied, rows and columns beyond
 * it are ignored.
 */
public final class EntropyThreshold {
    /** The number of gray levels, and the side of a matrix. */
    public static final int LEVELS = 256;

    private EntropyThreshold() {}

    /**
     * The level that {@code Threshold.pell_wick(matrix, start, end)} returns:
     * the lowest candidate in {@code start..end} (inclusive) with the highest
     * score above zero, or {@code start} if none scores above zero. Only
     * candidates 0..254 can score above zero.
     *
     * @param matrix co-occurrence counts, {@code matrix[a][b]} for gray levels
     *     a and b; at least 256 rows of at least 256 elements
     * @throws NullPointerException if the matrix or one of its first 256 rows
     *     is null
     * @throws IllegalArgumentException if the matrix has fewer than 256 rows
     *     or one of its first 256 rows is shorter than 256
     * @throws OutOfMemoryError if the native copy cannot be allocated
     * @throws UnsatisfiedLinkError if the native library cannot be loaded
     *     (see {@link NativeLibrary})
     */
    public static int select(int[][] matrix, int start, int end) {
        NativeLibrary.load();
        return nativeSelect(matrix, start, end);
    }

    /**
     * The score of every candidate level: {@code scores(m)[t]} for t =
     * 0..255, exactly (to the bit) the scores that {@link #select(int[][],
     * int, int)} and {@code Threshold.pell_wick} compare. Level 255 has empty
     * blocks and scores 0.0.
     *
     * @throws NullPointerException as {@link #select(int[][], int, int)}
     * @throws IllegalArgumentException as {@link #select(int[][], int, int)}
     */
    public static double[] scores(int[][] matrix) {
        NativeLibrary.load();
        double[] scores = new double[LEVELS];
        nativeScores(matrix, scores);
        return scores;
    }

    /**
     * The level chosen over 0..255 for the image's co-occurrence matrix
     * ({@link Cooccurrence#of(BufferedImage)}).
     *
     * @throws IllegalArgumentException if the image's pixels cannot be mapped
     *     to gray levels, or it is too large for the matrix's counts
     */
    public static int select(BufferedImage image) {
        return select(Cooccurrence.of(Objects.requireNonNull(image, "image is null")), 0,
                LEVELS - 1);
    }

    /** As {@link #select(BufferedImage)}, for levels already read. */
    public static int select(GrayImage image) {
        return select(Objects.requireNonNull(image, "image is null").cooccurrence(), 0,
                LEVELS - 1);
    }

    private static native int nativeSelect(int[][] matrix, int start, int end);

    private static native void nativeScores(int[][] matrix, double[] scores);
}
