/** Thresholds a test matrix through an instance of the instance-method Threshold. */
public final class InstanceCall {
    private InstanceCall() {}

    public static void main(String[] args) {
        int level = new Threshold().pell_wick(Matrices.banded(Long.parseLong(args[0])), 0, 255);
        System.out.print("\rlevel " + level + "\n");
        System.out.flush();
    }
}
