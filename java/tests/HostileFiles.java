import java.awt.Transparency;
import java.awt.color.ColorSpace;
import java.awt.image.BufferedImage;
import java.awt.image.ComponentColorModel;
import java.awt.image.DataBuffer;
import java.awt.image.Raster;
import java.awt.image.WritableRaster;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.ByteBuffer;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.Random;
import java.util.zip.CRC32;
import javax.imageio.IIOImage;
import javax.imageio.ImageIO;
import javax.imageio.ImageWriter;
import javax.imageio.stream.ImageOutputStream;

/** Small image files made to break an image tool: bombs, odd sample types, damage. */
final class HostileFiles {
    private HostileFiles() {}

    static BufferedImage noise(int width, int height, int type, long seed) {
        BufferedImage image = new BufferedImage(width, height, type);
        Random random = new Random(seed);
        for (int y = 0; y < height; y++) {
            for (int x = 0; x < width; x++) {
                image.setRGB(x, y, random.nextInt());
            }
        }
        return image;
    }

    static Path write(BufferedImage image, String format, Path file) {
        try {
            if (!ImageIO.write(image, format, file.toFile())) {
                throw new IllegalStateException("no " + format + " writer");
            }
            return file;
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** A valid image file cut to half its bytes. */
    static Path truncated(String format, Path file) {
        write(noise(64, 64, BufferedImage.TYPE_INT_RGB, 1), format, file);
        try {
            byte[] bytes = Files.readAllBytes(file);
            return Files.write(file, Arrays.copyOf(bytes, bytes.length / 2));
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }

    /** A 1-bit gray PNG that declares width x height pixels and holds a few bytes of data. */
    static Path pngBomb(int width, int height, Path file) {
        ByteArrayOutputStream png = new ByteArrayOutputStream();
        png.writeBytes(new byte[] {(byte) 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
        chunk(png, "IHDR", ByteBuffer.allocate(13).putInt(width).putInt(height)
                .put(new byte[] {1, 0, 0, 0, 0}).array());
        chunk(png, "IDAT", new byte[] {0x78, (byte) 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});
        chunk(png, "IEND", new byte[0]);
        return bytes(png.toByteArray(), file);
    }

    private static void chunk(ByteArrayOutputStream out, String type, byte[] data) {
        CRC32 crc = new CRC32();
        crc.update(type.getBytes(java.nio.charset.StandardCharsets.US_ASCII));
        crc.update(data);
        out.writeBytes(ByteBuffer.allocate(4).putInt(data.length).array());
        out.writeBytes(type.getBytes(java.nio.charset.StandardCharsets.US_ASCII));
        out.writeBytes(data);
        out.writeBytes(ByteBuffer.allocate(4).putInt((int) crc.getValue()).array());
    }

    /**
     * A two-colour GIF of width x height pixels whose image data holds one
     * pixel and ends: what a reader does not decode, it fills in.
     */
    static Path sparseGif(int width, int height, Path file) {
        byte w0 = (byte) width;
        byte w1 = (byte) (width >> 8);
        byte h0 = (byte) height;
        byte h1 = (byte) (height >> 8);
        return bytes(new byte[] {'G', 'I', 'F', '8', '9', 'a', w0, w1, h0, h1, (byte) 0x80, 0, 0,
            0, 0, 0, (byte) 255, (byte) 255, (byte) 255,
            0x2C, 0, 0, 0, 0, w0, w1, h0, h1, 0,
            2, 2, 0x44, 0x01, 0, 0x3B}, file);
    }

    /** An 8 x 8 gray TIFF with samples of the given DataBuffer type. */
    static Path grayTiff(int dataType, Path file) {
        ComponentColorModel model = new ComponentColorModel(ColorSpace.getInstance(ColorSpace.CS_GRAY),
                false, false, Transparency.OPAQUE, dataType);
        return write(new BufferedImage(model, model.createCompatibleWritableRaster(8, 8), false, null),
                "tiff", file);
    }

    /** A four-channel (CMYK) JPEG. */
    static Path cmykJpeg(Path file) {
        WritableRaster cmyk = Raster.createInterleavedRaster(DataBuffer.TYPE_BYTE, 16, 16, 4, null);
        ImageWriter writer = ImageIO.getImageWritersByFormatName("jpeg").next();
        try (ImageOutputStream out = ImageIO.createImageOutputStream(file.toFile())) {
            writer.setOutput(out);
            writer.write(null, new IIOImage(cmyk, null, null), null);
            return file;
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        } finally {
            writer.dispose();
        }
    }

    static Path bytes(byte[] bytes, Path file) {
        try {
            return Files.write(file, bytes);
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        }
    }
}
