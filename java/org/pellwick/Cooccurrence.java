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
}
