package org.pellwick;

import java.awt.color.ColorSpace;
import java.awt.image.BufferedImage;
import java.awt.image.ColorModel;
import java.awt.image.DataBuffer;
import java.awt.image.DirectColorModel;
import java.awt.image.IndexColorModel;
import java.awt.image.Raster;
import java.awt.image.WritableRaster;
import java.util.Arrays;

/**
 * An image as 8-bit gray levels, the levels that thresholds are chosen on and
 * applied to. Immutable.
 *
 * <p>The one rule for turning pixels into levels: gray images keep their
 * levels (16-bit ones are scaled to 8 bits, rounded; 1-, 2- and 4-bit ones
 * stretched to 0..255); colour images become gray by the ITU-R BT.601
 * weights, 0.299 R + 0.587 G + 0.114 B, rounded. Alpha is ignored. Samples
 * that cannot be mapped to 0..255 exactly (signed or 32-bit integers,
 * floating point, colour spaces other than gray and RGB, such as CMYK) are
 * refused rather than guessed.
 */
public final class GrayImage {
    private final int width;
    private final int height;
    private final byte[] levels;

    private GrayImage(int width, int height, byte[] levels) {
        this.width = width;
        this.height = height;
        this.levels = levels;
    }

    /**
     * The gray levels of {@code image}.
     *
     * @throws IllegalArgumentException if its samples cannot be mapped to
     *     0..255 exactly
     */
    public static GrayImage of(BufferedImage image) {
        int width = image.getWidth();
        int height = image.getHeight();
        byte[] levels = new byte[Math.multiplyExact(width, height)];
        ColorModel model = image.getColorModel();
        Raster raster = image.getRaster();
        int type = raster.getDataBuffer().getDataType();
        int space = model.getColorSpace().getType();
        if (model instanceof IndexColorModel || model instanceof DirectColorModel) {
            if (space != ColorSpace.TYPE_RGB) {
                throw unsupported(model, "a colour space other than RGB");
            }
            fromRgb(image, levels);
        } else if (space == ColorSpace.TYPE_GRAY && model.getNumColorComponents() == 1) {
            if (type != DataBuffer.TYPE_BYTE && type != DataBuffer.TYPE_USHORT) {
                throw unsupported(model, dataTypeName(type) + " gray samples");
            }
            // Raw samples: a colour conversion would bend the gray levels.
            long max = (1L << model.getComponentSize(0)) - 1;
            int[] row = new int[width];
            for (int y = 0; y < height; y++) {
                raster.getSamples(0, y, width, 1, 0, row);
                for (int x = 0; x < width; x++) {
                    levels[y * width + x] = (byte) ((row[x] * 255L * 2 + max) / (2 * max));
                }
            }
        } else if (space == ColorSpace.TYPE_RGB) {
            if (type != DataBuffer.TYPE_BYTE && type != DataBuffer.TYPE_USHORT) {
                throw unsupported(model, dataTypeName(type) + " colour samples");
            }
            fromRgb(image, levels);
        } else {
            throw unsupported(model, colourSpaceName(space) + " colour");
        }
        return new GrayImage(width, height, levels);
    }

    /** A gray image from levels row by row, each 0..255; the array is copied. */
    public static GrayImage of(int width, int height, int[] levels) {
        if (width < 0 || height < 0 || (long) width * height != levels.length) {
            throw new IllegalArgumentException(levels.length + " levels for a " + width + " x "
                    + height + " image");
        }
        byte[] copy = new byte[levels.length];
        for (int i = 0; i < levels.length; i++) {
            if (levels[i] < 0 || levels[i] > 255) {
                throw new IllegalArgumentException("level " + levels[i] + " at index " + i
                        + " is outside 0..255");
            }
            copy[i] = (byte) levels[i];
        }
        return new GrayImage(width, height, copy);
    }

    public int width() {
        return width;
    }

    public int height() {
        return height;
    }

    /** The level of pixel (x, y), 0..255. */
    public int level(int x, int y) {
        if (x < 0 || x >= width || y < 0 || y >= height) {
            throw new IndexOutOfBoundsException("pixel (" + x + ", " + y + ") of a " + width
                    + " x " + height + " image");
        }
        return levels[y * width + x] & 0xFF;
    }

    /** Every level, row by row: {@code levels()[y * width() + x]}; a fresh copy. */
    public int[] levels() {
        int[] out = new int[levels.length];
        for (int i = 0; i < levels.length; i++) {
            out[i] = levels[i] & 0xFF;
        }
        return out;
    }

    /**
     * The co-occurrence matrix: {@code m[a][b]} counts the pixels of level a
     * whose right neighbour has level b, plus those whose lower neighbour has
     * level b. Not symmetrised.
     *
     * @throws IllegalArgumentException if a count would exceed
     *     {@code Integer.MAX_VALUE}
     */
    public int[][] cooccurrence() {
        return cooccurrence(null);
    }

    /**
     * The co-occurrence matrix of the pixels inside a selection: a pair is
     * counted only if both its pixels are inside ({@code inside[y * width() +
     * x]}); null counts every pair.
     *
     * @throws IllegalArgumentException if {@code inside} does not have one
     *     entry per pixel, or a count would exceed {@code Integer.MAX_VALUE}
     */
    public int[][] cooccurrence(boolean[] inside) {
        if (inside != null && inside.length != levels.length) {
            throw new IllegalArgumentException(inside.length + " selection entries for "
                    + levels.length + " pixels");
        }
        long[][] counts = new long[256][256];
        for (int y = 0; y < height; y++) {
            int row = y * width;
            for (int x = 0; x < width; x++) {
                int i = row + x;
                if (inside != null && !inside[i]) {
                    continue;
                }
                int a = levels[i] & 0xFF;
                if (x + 1 < width && (inside == null || inside[i + 1])) {
                    counts[a][levels[i + 1] & 0xFF]++;
                }
                if (y + 1 < height && (inside == null || inside[i + width])) {
                    counts[a][levels[i + width] & 0xFF]++;
                }
            }
        }
        return toInts(counts);
    }

    static int[][] toInts(long[][] counts) {
        int[][] matrix = new int[256][256];
        for (int a = 0; a < 256; a++) {
            for (int b = 0; b < 256; b++) {
                if (counts[a][b] > Integer.MAX_VALUE) {
                    throw new IllegalArgumentException("the image is too large: " + counts[a][b]
                            + " pairs of levels (" + a + ", " + b + ") exceed the "
                            + Integer.MAX_VALUE + " a matrix cell can hold");
                }
                matrix[a][b] = (int) counts[a][b];
            }
        }
        return matrix;
    }

    /** Levels above {@code threshold} white, the others black, one bit per pixel. */
    public BufferedImage twoLevel(int threshold) {
        BufferedImage out = new BufferedImage(width, height, BufferedImage.TYPE_BYTE_BINARY);
        WritableRaster raster = out.getRaster();
        int[] row = new int[width];
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                row[x] = (levels[y * width + x] & 0xFF) > threshold ? 1 : 0;
            }
            raster.setSamples(0, y, width, 1, 0, row);
        }
        return out;
    }

    @Override
    public boolean equals(Object other) {
        return other instanceof GrayImage g && g.width == width && g.height == height
                && Arrays.equals(g.levels, levels);
    }

    @Override
    public int hashCode() {
        return 31 * (31 * width + height) + Arrays.hashCode(levels);
    }

    private static void fromRgb(BufferedImage image, byte[] levels) {
        int width = image.getWidth();
        int[] rgb = new int[width];
        for (int y = 0; y < image.getHeight(); y++) {
            image.getRGB(0, y, width, 1, rgb, 0, width);
            for (int x = 0; x < width; x++) {
                int r = (rgb[x] >> 16) & 0xFF;
                int g = (rgb[x] >> 8) & 0xFF;
                int b = rgb[x] & 0xFF;
                levels[y * width + x] = (byte) ((299 * r + 587 * g + 114 * b + 500) / 1000);
            }
        }
    }

    private static IllegalArgumentException unsupported(ColorModel model, String what) {
        return new IllegalArgumentException("unsupported pixels: " + what + " ("
                + model.getNumComponents() + " components of "
                + model.getComponentSize(0) + " bits)");
    }

    private static String dataTypeName(int type) {
        return switch (type) {
            case DataBuffer.TYPE_BYTE -> "8-bit";
            case DataBuffer.TYPE_USHORT -> "unsigned 16-bit";
            case DataBuffer.TYPE_SHORT -> "signed 16-bit";
            case DataBuffer.TYPE_INT -> "32-bit integer";
            case DataBuffer.TYPE_FLOAT -> "floating-point";
            case DataBuffer.TYPE_DOUBLE -> "double-precision";
            default -> "unknown";
        };
    }

    private static String colourSpaceName(int type) {
        return switch (type) {
            case ColorSpace.TYPE_CMYK -> "CMYK";
            case ColorSpace.TYPE_CMY -> "CMY";
            case ColorSpace.TYPE_YCbCr -> "YCbCr";
            case ColorSpace.TYPE_Lab -> "Lab";
            case ColorSpace.TYPE_HSV -> "HSV";
            default -> "non-RGB";
        };
    }
}
