import java.util.List;

/** Matrices the native method must refuse, with the exception each one gets. */
final class MalformedInputs {
    record Case(String name, int[][] matrix, Class<? extends Throwable> thrown, String message) {
        @Override
        public String toString() {
            return name;
        }
    }

    private MalformedInputs() {}

    static List<Case> all() {
        int[][] fewRows = new int[255][256];
        int[][] nullFirstRow = Matrices.zeros();
        nullFirstRow[0] = null;
        int[][] nullLastRow = Matrices.zeros();
        nullLastRow[255] = null;
        int[][] shortRow = Matrices.zeros();
        shortRow[7] = new int[255];
        int[][] emptyRow = Matrices.zeros();
        emptyRow[255] = new int[0];
        return List.of(
                new Case("null matrix", null, NullPointerException.class, "matrix is null"),
                new Case("no rows", new int[0][], IllegalArgumentException.class,
                        "matrix has 0 rows; 256 are required"),
                new Case("255 rows", fewRows, IllegalArgumentException.class,
                        "matrix has 255 rows; 256 are required"),
                new Case("null row 0", nullFirstRow, NullPointerException.class,
                        "matrix row 0 is null"),
                new Case("null row 255", nullLastRow, NullPointerException.class,
                        "matrix row 255 is null"),
                new Case("row 7 of 255", shortRow, IllegalArgumentException.class,
                        "matrix row 7 has 255 elements; 256 are required"),
                new Case("empty row 255", emptyRow, IllegalArgumentException.class,
                        "matrix row 255 has 0 elements; 256 are required"));
    }
}
