import java.awt.image.BufferedImage;
import java.io.File;
import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Random;
import javax.imageio.ImageIO;

/**
 * Writes COUNT test images into DIR: gray and colour PNGs and BMPs, bright
 * shapes on shaded noise, each different; then BAD damaged or unreadable
 * files. Prints every path, good ones first, one per line.
 *
 *   java cluster/tests/MakeImages.java DIR COUNT BAD [SIZE]
 */
public final class MakeImages {
    public static void main(String[] args) throws IOException {
        Path dir = Files.createDirectories(Path.of(args[0]));
        int count = Integer.parseInt(args[1]);
        int bad = Integer.parseInt(args[2]);
        int base = args.length > 3 ? Integer.parseInt(args[3]) : 96;
        for (int i = 0; i < count; i++) {
            int size = base + 16 * (i % 5);
            boolean colour = i % 3 == 0;
            BufferedImage image = new BufferedImage(size, size,
                    colour ? BufferedImage.TYPE_INT_RGB : BufferedImage.TYPE_BYTE_GRAY);
            Random random = new Random(i);
            for (int y = 0; y < size; y++) {
                for (int x = 0; x < size; x++) {
                    int level = 40 + x * 60 / size + random.nextInt(25);
                    int dx = x - size / 2 - i % 9;
                    int dy = y - size / 2;
                    if (dx * dx + dy * dy < size * size / (9 + i % 7)) {
                        level = 170 + random.nextInt(60);
                    }
                    int rgb = colour ? (level << 16) | (Math.max(0, level - 20) << 8) | (level / 2)
                            : (level << 16) | (level << 8) | level;
                    image.setRGB(x, y, rgb);
                }
            }
            String format = i % 4 == 3 ? "bmp" : "png";
            File file = dir.resolve(String.format("image-%03d.%s", i, format)).toFile();
            ImageIO.write(image, format, file);
            System.out.println(file.getPath());
        }
        for (int i = 0; i < bad; i++) {
            Path file = dir.resolve(String.format("bad-%03d.png", i));
            Files.writeString(file, "not an image " + i);
            System.out.println(file);
        }
    }
}
