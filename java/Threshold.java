/**
 * Gray-level threshold selection for image segmentation, implemented natively
 * in the library {@code pellwick}. The compatible entry point, with progress
 * text; {@link org.pellwick.EntropyThreshold} is the quiet one.
 */
public final class Threshold {
    static {
        org.pellwick.NativeLibrary.load();
    }

    private Threshold() {}

    /**
     * Scores every candidate level {@code start..end} (inclusive) with the
     * exponential conditional entropy of the matrix's two off-diagonal blocks,
     * writes a progress line per candidate to the process's standard output,
     * and returns the lowest level with the highest score above zero, or
     * {@code start} if no candidate scores above zero.
     *
     * @param matrix co-occurrence counts, {@code matrix[a][b]} for gray levels
     *     a and b; at least 256 rows of at least 256 elements, of which the
     *     top-left 256 x 256 corner is read
     * @throws NullPointerException if the matrix or one of its first 256 rows
     *     is null
     * @throws IllegalArgumentException if the matrix has fewer than 256 rows
     *     or one of its first 256 rows is shorter than 256
     * @throws OutOfMemoryError if the native copy of the matrix cannot be
     *     allocated
     */
    public static native int pell_wick(int[][] matrix, int start, int end);
}
