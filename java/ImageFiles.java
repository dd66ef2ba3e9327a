import java.awt.image.BufferedImage;
import java.io.EOFException;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.io.RandomAccessFile;
import java.nio.file.AccessDeniedException;
import java.nio.file.AtomicMoveNotSupportedException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.ArrayList;
import java.util.BitSet;
import java.util.Iterator;
import java.util.List;
import javax.imageio.IIOException;
import javax.imageio.ImageIO;
import javax.imageio.ImageReader;
import javax.imageio.event.IIOReadUpdateListener;
import javax.imageio.stream.FileImageInputStream;
import javax.imageio.stream.ImageInputStream;
import javax.imageio.stream.MemoryCacheImageInputStream;
import org.pellwick.GrayImage;

/**
 * Image files for the tools: reading with the size checked before any pixel
 * is decoded, and damaged data refused; writing through a temporary file
 * renamed into place, so that no partial file ever stands under the final
 * name. Every failure is a {@link Failure} whose message names the file.
 */
final class ImageFiles {
    /** A refused input, output or command line: one line for the user. */
    static final class Failure extends Exception {
        private static final long serialVersionUID = 1L;

        Failure(String message) {
            super(message);
        }
    }

    private ImageFiles() {}

    /**
     * The largest image the tools decode by default: 100 megapixels, or fewer
     * where the heap could not hold the decoded image, its gray levels and the
     * result (about 16 bytes a pixel at the most) for each of `threads`
     * images at once.
     */
    static long defaultMaxPixels(int threads) {
        return Math.max(1, Math.min(100_000_000L, Runtime.getRuntime().maxMemory() / 16 / threads));
    }

    /** Reads an image file's gray levels; refuses more than maxPixels pixels before decoding. */
    static GrayImage read(Path file, long maxPixels) throws Failure {
        if (Files.isDirectory(file)) {
            throw new Failure(file + ": is a directory");
        }
        if (!Files.exists(file)) {
            throw new Failure(file + ": no such file");
        }
        if (!Files.isReadable(file)) {
            throw new Failure(file + ": cannot be read (permission denied)");
        }
        try (ImageInputStream in = new FileImageInputStream(new RandomAccessFile(file.toFile(), "r"))) {
            return decode(in, file.toString(), maxPixels);
        } catch (IOException e) {
            throw new Failure(file + ": " + reason(e));
        }
    }

    /** As {@link #read(Path, long)}, for a stream (the bundled sample). */
    static GrayImage read(InputStream stream, String name, long maxPixels) throws Failure {
        try (ImageInputStream in = new MemoryCacheImageInputStream(stream)) {
            return decode(in, name, maxPixels);
        } catch (IOException e) {
            throw new Failure(name + ": " + reason(e));
        }
    }

    private static GrayImage decode(ImageInputStream in, String name, long maxPixels)
            throws IOException, Failure {
        Iterator<ImageReader> readers = ImageIO.getImageReaders(in);
        if (!readers.hasNext()) {
            throw new Failure(name + ": not an image in a format this Java reads");
        }
        ImageReader reader = readers.next();
        try {
            reader.setInput(in, true, true);
            int width = reader.getWidth(0);
            int height = reader.getHeight(0);
            if ((long) width * height > maxPixels) {
                throw new Failure(name + ": " + width + " x " + height + " pixels exceed the limit of "
                        + maxPixels + " (--max-pixels)");
            }
            List<String> warnings = new ArrayList<>();
            reader.addIIOReadWarningListener((source, warning) -> warnings.add(warning));
            RowsDecoded rows = new RowsDecoded();
            reader.addIIOReadUpdateListener(rows);
            BufferedImage image = reader.read(0);
            if (!warnings.isEmpty()) {
                throw new Failure(name + ": damaged image data (" + warnings.get(0) + ")");
            }
            // A reader fills rows its data never reached with one value, silently.
            if (rows.count() < height) {
                throw new Failure(name + ": damaged image data (pixels for " + rows.count()
                        + " of " + height + " rows)");
            }
            return GrayImage.of(image);
        } catch (IllegalArgumentException e) {
            throw new Failure(name + ": " + e.getMessage());
        } catch (OutOfMemoryError e) {
            throw new Failure(name + ": not enough memory to decode it (give Java more with -Xmx,"
                    + " or lower --max-pixels)");
        } catch (IIOException | EOFException | IndexOutOfBoundsException e) {
            // Readers report damaged data through any of these.
            throw new Failure(name + ": damaged image data (" + reason(e) + ")");
        } finally {
            reader.dispose();
        }
    }

    /** The rows that a reader reports as decoded. */
    private static final class RowsDecoded implements IIOReadUpdateListener {
        private final BitSet rows = new BitSet();

        int count() {
            return rows.cardinality();
        }

        @Override
        public void imageUpdate(ImageReader source, BufferedImage image, int minX, int minY,
                int width, int height, int periodX, int periodY, int[] bands) {
            for (int k = 0; k < height; k++) {
                rows.set(minY + k * periodY);
            }
        }

        @Override
        public void passStarted(ImageReader source, BufferedImage image, int pass, int minPass,
                int maxPass, int minX, int minY, int periodX, int periodY, int[] bands) {}

        @Override
        public void passComplete(ImageReader source, BufferedImage image) {}

        @Override
        public void thumbnailPassStarted(ImageReader source, BufferedImage thumbnail, int pass,
                int minPass, int maxPass, int minX, int minY, int periodX, int periodY,
                int[] bands) {}

        @Override
        public void thumbnailUpdate(ImageReader source, BufferedImage thumbnail, int minX,
                int minY, int width, int height, int periodX, int periodY, int[] bands) {}

        @Override
        public void thumbnailPassComplete(ImageReader source, BufferedImage thumbnail) {}
    }

    /**
     * Writes a PNG to a temporary file beside `file`, then renames it into
     * place: `file` holds either its old content or the whole new image. The
     * temporary file's name is fixed (.NAME.part), so that a run that was
     * killed while writing leaves one stray file at most, which the next
     * write of the same output replaces.
     */
    static void writePng(BufferedImage image, Path file) throws Failure {
        Path absolute = file.toAbsolutePath();
        Path dir = absolute.getParent();
        Path name = absolute.getFileName();
        if (dir == null || name == null) {
            throw new Failure(file + ": cannot be written (not a file name)");
        }
        Path temporary = null;
        try {
            temporary = dir.resolve("." + name + ".part");
            try (OutputStream out = Files.newOutputStream(temporary)) {
                // Our own stream: ImageIO prints a stack trace when it cannot open a file.
                if (!ImageIO.write(image, "png", out)) {
                    throw new Failure(file + ": no PNG writer in this Java");
                }
            }
            try {
                Files.move(temporary, absolute, StandardCopyOption.ATOMIC_MOVE,
                        StandardCopyOption.REPLACE_EXISTING);
            } catch (AtomicMoveNotSupportedException e) {
                Files.move(temporary, absolute, StandardCopyOption.REPLACE_EXISTING);
            }
            temporary = null;
        } catch (NoSuchFileException e) {
            throw new Failure(file + ": cannot be written (no such directory)");
        } catch (AccessDeniedException e) {
            throw new Failure(file + ": cannot be written (permission denied)");
        } catch (IOException e) {
            throw new Failure(file + ": cannot be written (" + reason(e) + ")");
        } finally {
            if (temporary != null) {
                try {
                    Files.deleteIfExists(temporary);
                } catch (IOException e) {
                    // The final name is untouched; a stray temporary file is all that is left.
                }
            }
        }
    }

    /** Whether two paths name the same file (or would, once written). */
    static boolean sameFile(Path a, Path b) {
        try {
            if (Files.exists(a) && Files.exists(b)) {
                return Files.isSameFile(a, b);
            }
        } catch (IOException e) {
            // Fall back to comparing the names.
        }
        return a.toAbsolutePath().normalize().equals(b.toAbsolutePath().normalize());
    }

    /** The reason of an exception in a few words, never empty. */
    static String reason(Throwable e) {
        Throwable root = e;
        while (root.getCause() != null && root.getCause() != root) {
            root = root.getCause();
        }
        if (root instanceof EOFException) {
            return "unexpected end of file";
        }
        if (root instanceof NoSuchFileException) {
            return "no such file";
        }
        if (root instanceof AccessDeniedException) {
            return "permission denied";
        }
        if (root instanceof FileSystemException f && f.getReason() != null) {
            return f.getReason();
        }
        String message = root.getMessage();
        if (message == null || message.isBlank()) {
            return root.getClass().getSimpleName();
        }
        return message.replace('\n', ' ').replace('\r', ' ');
    }
}
