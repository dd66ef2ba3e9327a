import java.io.IOException;
import java.io.UncheckedIOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/** Runs child processes, a JVM like this one in particular, and keeps their output. */
final class Jvm {
    /** What a child process left behind. */
    record Run(int exitCode, byte[] stdout, String stderr) {
        String out() {
            return new String(stdout, StandardCharsets.ISO_8859_1);
        }
    }

    private Jvm() {}

    static final String JAVA = ProcessHandle.current().info().command().orElse("java");

    /** Runs {@code mainClass} with -Xcheck:jni in the given JVM, on this test's class path. */
    static Run java(String java, Map<String, String> environment, String mainClass, String... args) {
        List<String> command = new ArrayList<>(List.of(java, "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path"),
                "-cp", System.getProperty("java.class.path"), mainClass));
        command.addAll(List.of(args));
        return run(command, environment);
    }

    static Run java(String mainClass, String... args) {
        return java(JAVA, Map.of(), mainClass, args);
    }

    static Run run(List<String> command, Map<String, String> environment) {
        return run(command, environment, null);
    }

    static Run run(List<String> command, Map<String, String> environment, Path workingDir) {
        try {
            Path out = Files.createTempFile("pellwick-out", ".bin");
            Path err = Files.createTempFile("pellwick-err", ".txt");
            try {
                ProcessBuilder builder = new ProcessBuilder(command)
                        .redirectOutput(out.toFile())
                        .redirectError(err.toFile());
                builder.environment().putAll(environment);
                if (workingDir != null) {
                    builder.directory(workingDir.toFile());
                }
                int code = builder.start().waitFor();
                return new Run(code, Files.readAllBytes(out), Files.readString(err));
            } finally {
                Files.deleteIfExists(out);
                Files.deleteIfExists(err);
            }
        } catch (IOException e) {
            throw new UncheckedIOException(e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new IllegalStateException(e);
        }
    }
}
