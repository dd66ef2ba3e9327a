import java.io.BufferedReader;
import java.io.IOException;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * Thresholds a co-occurrence matrix stored as "row column count" lines (one
 * per non-zero cell, levels 0..255, counts 0..2147483647, each cell once)
 * and prints the chosen level.
 *
 * <p>Usage: {@code ThresholdMatrix FILE [START END]}; the range defaults to
 * 0..255. A refused command line or file: one line on standard error, exit
 * status 2.
 */
public final class ThresholdMatrix {
    /** A line longer than this is not a matrix cell: refused rather than read whole. */
    private static final int MAX_LINE = 256;

    private ThresholdMatrix() {}

    public static void main(String[] args) {
        int status = 0;
        try {
            if (args.length != 1 && args.length != 3) {
                throw new ImageFiles.Failure("expected FILE [START END], got " + args.length
                        + " argument" + (args.length == 1 ? "" : "s")
                        + " (usage: ThresholdMatrix FILE [START END])");
            }
            int start = args.length == 3 ? level(args[1], "START") : 0;
            int end = args.length == 3 ? level(args[2], "END") : 255;
            if (start > end) {
                throw new ImageFiles.Failure("bad range " + start + ".." + end
                        + ": START is above END");
            }
            int[][] matrix = read(ThresholdImage.path(args[0]));
            int level = Threshold.pell_wick(matrix, start, end);
            System.out.print("\r" + args[0] + ": threshold " + level + "\n");
        } catch (ImageFiles.Failure e) {
            System.err.println("ThresholdMatrix: " + e.getMessage());
            status = 2;
        } catch (OutOfMemoryError e) {
            System.err.println("ThresholdMatrix: out of memory (give Java more with -Xmx)");
            status = 2;
        } catch (LinkageError | RuntimeException e) {
            System.err.println("ThresholdMatrix: " + ImageFiles.reason(e));
            status = 2;
        }
        System.out.flush();
        System.exit(status);
    }

    private static int level(String text, String what) throws ImageFiles.Failure {
        try {
            int level = Integer.parseInt(text);
            if (level >= 0 && level <= 255) {
                return level;
            }
        } catch (NumberFormatException e) {
            // Reported below.
        }
        throw new ImageFiles.Failure(what + " must be a level in 0..255, not '" + text + "'");
    }

    /** Reads a matrix file; every refusal names the file and the line. */
    static int[][] read(Path file) throws ImageFiles.Failure {
        int[][] matrix = new int[256][256];
        boolean[][] seen = new boolean[256][256];
        if (Files.isDirectory(file)) {
            throw new ImageFiles.Failure(file + ": is a directory");
        }
        try (BufferedReader in = new BufferedReader(new java.io.InputStreamReader(
                Files.newInputStream(file), StandardCharsets.UTF_8.newDecoder()
                        .onMalformedInput(CodingErrorAction.REPORT)
                        .onUnmappableCharacter(CodingErrorAction.REPORT)))) {
            StringBuilder line = new StringBuilder();
            long number = 0;
            for (int c = in.read(); ; c = in.read()) {
                if (c == '\n' || c == -1) {
                    number++;
                    if (c == -1 && line.length() == 0) {
                        break;
                    }
                    cell(line.toString().trim(), file, number, matrix, seen);
                    line.setLength(0);
                    if (c == -1) {
                        break;
                    }
                } else if (line.length() >= MAX_LINE) {
                    throw new ImageFiles.Failure(file + ":" + (number + 1) + ": line longer than "
                            + MAX_LINE + " characters; expected 'row column count'");
                } else {
                    line.append((char) c);
                }
            }
        } catch (CharacterCodingException e) {
            throw new ImageFiles.Failure(file + ": not text (invalid UTF-8)");
        } catch (IOException e) {
            throw new ImageFiles.Failure(file + ": cannot be read (" + ImageFiles.reason(e) + ")");
        }
        return matrix;
    }

    private static void cell(String line, Path file, long number, int[][] matrix, boolean[][] seen)
            throws ImageFiles.Failure {
        if (line.isEmpty()) {
            return;
        }
        String where = file + ":" + number + ": ";
        String[] fields = line.split("\\s+");
        int row;
        int column;
        long count;
        try {
            if (fields.length != 3) {
                throw new NumberFormatException();
            }
            row = Integer.parseInt(fields[0]);
            column = Integer.parseInt(fields[1]);
            count = Long.parseLong(fields[2]);
        } catch (NumberFormatException e) {
            throw new ImageFiles.Failure(where + "expected 'row column count', not '" + line + "'");
        }
        if (row < 0 || row > 255 || column < 0 || column > 255) {
            throw new ImageFiles.Failure(where + "level outside 0..255 in '" + line + "'");
        }
        if (count < 0 || count > Integer.MAX_VALUE) {
            throw new ImageFiles.Failure(where + "count outside 0.." + Integer.MAX_VALUE
                    + " in '" + line + "'");
        }
        if (seen[row][column]) {
            throw new ImageFiles.Failure(where + "cell (" + row + ", " + column
                    + ") given a second time");
        }
        seen[row][column] = true;
        matrix[row][column] = (int) count;
    }
}
