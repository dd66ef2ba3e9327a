package org.pellwick;

import java.awt.image.BufferedImage;
import java.util.Objects;

/** Co-occurrence matrices and gray levels of images, by the rules of {@link GrayImage}. */
public final class Cooccurrence {
    private Cooccurrence() {}

    /**
     * The 256 x 256 co-occurrence matrix of the image's gray levels:
     * {@code m[a][b]} counts the pixels of level a whose right neighbour has
     * level b, plus those whose lower neighbour has level b. Not symmetrised.
     *
     * @throws IllegalArgumentException if the pixels cannot be mapped to gray
     *     levels exactly, or a count would exceed {@code Integer.MAX_VALUE}
     */
    public static int[][] of(BufferedImage image) {
        return GrayImage.of(Objects.requireNonNull(image, "image is null")).cooccurrence();
    }

    /**
     * The 0..255 level of every pixel, row by row ({@code [y * width + x]}):
     * the levels a threshold chosen by {@link EntropyThreshold} applies to.
     *
     * @throws IllegalArgumentException if the pixels cannot be mapped to gray
     *     levels exactly
     */
    public static int[] grayLevels(BufferedImage image) {
        return GrayImage.of(Objects.requireNonNull(image, "image is null")).levels();
    }

    /**
     * The cell-by-cell sum of 256 x 256 matrices, such as the matrices of a
     * stack's slices.
     *
     * @throws IllegalArgumentException if a matrix is not 256 x 256, holds a
     *     negative count, or a sum would exceed {@code Integer.MAX_VALUE}
     */
    public static int[][] sum(Iterable<int[][]> matrices) {
        long[][] counts = new long[256][256];
        for (int[][] m : matrices) {
            if (m.length != 256) {
                throw new IllegalArgumentException("a matrix of " + m.length + " rows, not 256");
            }
            for (int a = 0; a < 256; a++) {
                if (m[a].length != 256) {
                    throw new IllegalArgumentException("matrix row " + a + " has " + m[a].length
                            + " elements, not 256");
                }
                for (int b = 0; b < 256; b++) {
                    if (m[a][b] < 0) {
                        throw new IllegalArgumentException("negative count " + m[a][b] + " at ("
                                + a + ", " + b + ")");
                    }
                    counts[a][b] += m[a][b];
                }
            }
        }
        return GrayImage.toInts(counts);
    }
}
