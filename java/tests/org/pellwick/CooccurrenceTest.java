package org.pellwick;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.awt.Transparency;
import java.awt.color.ColorSpace;
import java.awt.image.BufferedImage;
import java.awt.image.ComponentColorModel;
import java.awt.image.DataBuffer;
import java.awt.image.IndexColorModel;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.params.ParameterizedTest;
import org.junit.jupiter.params.provider.MethodSource;

class CooccurrenceTest {
    /** The matrix of a 3 x 2 image whose levels are given row by row, counted by hand. */
    private static int[][] handCounted(int... levels) {
        int[][] m = new int[256][256];
        int[][] pairs = {{0, 1}, {1, 2}, {3, 4}, {4, 5}, {0, 3}, {1, 4}, {2, 5}};
        for (int[] p : pairs) {
            m[levels[p[0]]][levels[p[1]]]++;
        }
        return m;
    }

    private static BufferedImage gray(int type, int... samples) {
        BufferedImage image = new BufferedImage(3, 2, type);
        image.getRaster().setSamples(0, 0, 3, 2, 0, samples);
        return image;
    }

    static Stream<Object[]> images() {
        BufferedImage rgb = new BufferedImage(3, 2, BufferedImage.TYPE_INT_RGB);
        int[] colours = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E, 0xFFFFFF, 0x000000};
        for (int i = 0; i < 6; i++) {
            rgb.setRGB(i % 3, i / 3, colours[i]);
        }
        byte[] red = {0, (byte) 255, 0, 10};
        byte[] green = {0, 0, (byte) 255, 20};
        byte[] blue = {0, 0, 0, 30};
        BufferedImage palette = new BufferedImage(3, 2, BufferedImage.TYPE_BYTE_INDEXED,
                new IndexColorModel(2, 4, red, green, blue));
        palette.getRaster().setSamples(0, 0, 3, 2, 0, new int[] {0, 1, 2, 3, 1, 0});
        return Stream.of(
                new Object[] {"8-bit gray", gray(BufferedImage.TYPE_BYTE_GRAY, 1, 2, 3, 4, 5, 6),
                        new int[] {1, 2, 3, 4, 5, 6}},
                // v * 255 / 65535, rounded
                new Object[] {"16-bit gray",
                        gray(BufferedImage.TYPE_USHORT_GRAY, 0, 128, 129, 32896, 65535, 257),
                        new int[] {0, 0, 1, 128, 255, 1}},
                // 0.299 R + 0.587 G + 0.114 B, rounded
                new Object[] {"RGB", rgb, new int[] {76, 150, 29, 18, 255, 0}},
                new Object[] {"palette", palette, new int[] {0, 76, 150, 18, 76, 0}},
                new Object[] {"1-bit", gray(BufferedImage.TYPE_BYTE_BINARY, 0, 1, 1, 0, 0, 1),
                        new int[] {0, 255, 255, 0, 0, 255}});
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("images")
    void countsRightAndLowerNeighboursOfTheTrueLevels(String name, BufferedImage image,
            int[] levels) {
        assertArrayEquals(levels, Cooccurrence.grayLevels(image));
        assertArrayEquals(handCounted(levels), Cooccurrence.of(image));
    }

    @Test
    void refusesCountsBeyondTheIntRange() {
        long[][] counts = new long[256][256];
        counts[3][4] = Integer.MAX_VALUE + 1L;
        IllegalArgumentException e =
                assertThrows(IllegalArgumentException.class, () -> GrayImage.toInts(counts));
        assertTrue(e.getMessage().contains("(3, 4)"), e.getMessage());
        counts[3][4] = Integer.MAX_VALUE;
        assertEquals(Integer.MAX_VALUE, GrayImage.toInts(counts)[3][4]);
    }

    static Stream<Object[]> unsupported() {
        ColorSpace gray = ColorSpace.getInstance(ColorSpace.CS_GRAY);
        return Stream.of(
                new Object[] {"signed 16-bit gray", gray, DataBuffer.TYPE_SHORT, "signed 16-bit"},
                new Object[] {"32-bit gray", gray, DataBuffer.TYPE_INT, "32-bit integer"},
                new Object[] {"float gray", gray, DataBuffer.TYPE_FLOAT, "floating-point"},
                new Object[] {"double gray", gray, DataBuffer.TYPE_DOUBLE, "double-precision"});
    }

    @ParameterizedTest(name = "{0}")
    @MethodSource("unsupported")
    void refusesSamplesItCannotMapExactly(String name, ColorSpace space, int dataType,
            String reason) {
        BufferedImage image = new BufferedImage(
                new ComponentColorModel(space, false, false, Transparency.OPAQUE, dataType),
                new ComponentColorModel(space, false, false, Transparency.OPAQUE, dataType)
                        .createCompatibleWritableRaster(2, 2), false, null);
        IllegalArgumentException e =
                assertThrows(IllegalArgumentException.class, () -> Cooccurrence.of(image));
        assertTrue(e.getMessage().contains(reason), e.getMessage());
    }

    @Test
    void refusesCmyk() {
        ColorSpace cmyk = new ColorSpace(ColorSpace.TYPE_CMYK, 4) {
            private static final long serialVersionUID = 1L;

            @Override
            public float[] toRGB(float[] v) {
                return new float[3];
            }

            @Override
            public float[] fromRGB(float[] v) {
                return new float[4];
            }

            @Override
            public float[] toCIEXYZ(float[] v) {
                return new float[3];
            }

            @Override
            public float[] fromCIEXYZ(float[] v) {
                return new float[4];
            }
        };
        ComponentColorModel model = new ComponentColorModel(cmyk, false, false,
                Transparency.OPAQUE, DataBuffer.TYPE_BYTE);
        BufferedImage image = new BufferedImage(model, model.createCompatibleWritableRaster(2, 2),
                false, null);
        IllegalArgumentException e =
                assertThrows(IllegalArgumentException.class, () -> Cooccurrence.grayLevels(image));
        assertTrue(e.getMessage().contains("CMYK"), e.getMessage());
    }
}
