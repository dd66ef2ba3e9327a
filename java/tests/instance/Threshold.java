/** Threshold as a caller may declare it: pell_wick as an instance method. */
public class Threshold {
    static {
        System.loadLibrary("pellwick");
    }

    public native int pell_wick(int[][] matrix, int start, int end);
}
