import java.awt.image.BufferedImage;
import java.awt.image.ColorModel;
import java.awt.image.Raster;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import javax.imageio.ImageIO;

/**
 * An image as 8-bit gray levels, and its co-occurrence matrix.
 *
 * <p>Gray images keep their levels (16-bit ones are scaled to 8 bits, rounded;
 * 1-, 2- and 4-bit ones stretched to 0..255); colour images become gray by the
 * ITU-R BT.601 weights, 0.299 R + 0.587 G + 0.114 B, rounded. Alpha is
 * ignored.
 */
final class GrayImage {
    final int width;
    final int height;
    /** Levels row by row: {@code levels[y * width + x]}, 0..255. */
    final int[] levels;

    GrayImage(int width, int height, int[] levels) {
        this.width = width;
        this.height = height;
        this.levels = levels;
    }

    /** Reads PNG, JPEG, BMP, GIF and whatever else ImageIO reads. */
    static GrayImage read(Path file) throws IOException {
        if (!Files.exists(file)) {
            throw new NoSuchFileException(file.toString(), null, "no such file");
        }
        try (InputStream in = Files.newInputStream(file)) {
            return read(in, file.toString());
        }
    }

    static GrayImage read(InputStream in, String name) throws IOException {
        BufferedImage image = ImageIO.read(in);
        if (image == null) {
            throw new IOException(name + ": not an image in a format this Java reads");
        }
        return of(image);
    }

    static GrayImage of(BufferedImage image) {
        int width = image.getWidth();
        int height = image.getHeight();
        int[] levels = new int[width * height];
        ColorModel model = image.getColorModel();
        Raster raster = image.getRaster();
        boolean gray = model.getColorSpace().getNumComponents() == 1
                && raster.getNumBands() <= 2
                && model.getNumColorComponents() == 1
                && !(model instanceof java.awt.image.IndexColorModel);
        if (gray) {
            // Raw samples: a colour conversion would bend the gray levels.
            int bits = model.getComponentSize(0);
            long max = (1L << bits) - 1;
            int[] row = new int[width];
            for (int y = 0; y < height; y++) {
                raster.getSamples(0, y, width, 1, 0, row);
                for (int x = 0; x < width; x++) {
                    levels[y * width + x] = (int) ((row[x] * 255L * 2 + max) / (2 * max));
                }
            }
        } else {
            int[] rgb = new int[width];
            for (int y = 0; y < height; y++) {
                image.getRGB(0, y, width, 1, rgb, 0, width);
                for (int x = 0; x < width; x++) {
                    int r = (rgb[x] >> 16) & 0xFF;
                    int g = (rgb[x] >> 8) & 0xFF;
                    int b = rgb[x] & 0xFF;
                    levels[y * width + x] = (299 * r + 587 * g + 114 * b + 500) / 1000;
                }
            }
        }
        return new GrayImage(width, height, levels);
    }

    /**
     * The co-occurrence matrix: {@code m[a][b]} counts the pixels of level a
     * whose right neighbour has level b, plus those whose lower neighbour has
     * level b. Not symmetrised.
     *
     * @throws ArithmeticException if a count exceeds Integer.MAX_VALUE
     */
    int[][] cooccurrence() {
        long[][] counts = new long[256][256];
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                int a = levels[y * width + x];
                if (x + 1 < width) {
                    counts[a][levels[y * width + x + 1]]++;
                }
                if (y + 1 < height) {
                    counts[a][levels[(y + 1) * width + x]]++;
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
                    throw new ArithmeticException("the image is too large: " + counts[a][b]
                            + " pairs of levels (" + a + ", " + b + ") exceed the "
                            + Integer.MAX_VALUE + " a matrix cell can hold");
                }
                matrix[a][b] = (int) counts[a][b];
            }
        }
        return matrix;
    }

    /** Levels above the threshold white, the rest black, one bit per pixel. */
    BufferedImage twoLevel(int threshold) {
        BufferedImage out = new BufferedImage(width, height, BufferedImage.TYPE_BYTE_BINARY);
        java.awt.image.WritableRaster raster = out.getRaster();
        int[] row = new int[width];
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                row[x] = levels[y * width + x] > threshold ? 1 : 0;
            }
            raster.setSamples(0, y, width, 1, 0, row);
        }
        return out;
    }

    /** This image and another of the same size side by side, as 8-bit gray. */
    BufferedImage beside(BufferedImage right) {
        BufferedImage out = new BufferedImage(2 * width + 8, height, BufferedImage.TYPE_BYTE_GRAY);
        java.awt.image.WritableRaster raster = out.getRaster();
        GrayImage other = of(right);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                raster.setSample(x, y, 0, levels[y * width + x]);
                raster.setSample(width + 8 + x, y, 0, other.levels[y * width + x]);
            }
            for (int x = width; x < width + 8; x++) {
                raster.setSample(x, y, 0, 128);
            }
        }
        return out;
    }
}
