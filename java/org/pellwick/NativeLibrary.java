package org.pellwick;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Loads the native library {@code pellwick} once per class loader, for this
 * package and for the compatible {@code Threshold} class.
 *
 * <p>It tries, in order:
 * <ol>
 *   <li>the file named by the system property {@code pellwick.library.path},
 *       if it is set; then nothing else is tried, so that a wrong override is
 *       an error rather than silently ignored;
 *   <li>{@code System.loadLibrary("pellwick")}, so that a library installed
 *       on {@code java.library.path} wins over the bundled one;
 *   <li>the copy bundled in the jar under
 *       {@code org/pellwick/native/OS-ARCH/}, extracted into a new private
 *       temporary directory (owner-only permissions) and loaded from there;
 *       the file and its directory are deleted right after loading where the
 *       platform allows it, otherwise when the JVM exits.
 * </ol>
 * If everything fails, one {@link UnsatisfiedLinkError} lists what was tried
 * and why each failed.
 */
public final class NativeLibrary {
    /** The system property that names the library file to load instead. */
    public static final String PATH_PROPERTY = "pellwick.library.path";

    private static final String NAME = "pellwick";
    private static volatile boolean loaded;
    private static UnsatisfiedLinkError failure;

    private NativeLibrary() {}

    /**
     * Loads the library unless it is loaded already; thread-safe. A failure
     * is remembered: later calls throw the same error.
     *
     * @throws UnsatisfiedLinkError if no way of loading it worked
     */
    public static void load() {
        if (!loaded) {
            loadOnce();
        }
    }

    private static synchronized void loadOnce() {
        if (loaded) {
            return;
        }
        if (failure != null) {
            throw failure;
        }
        List<String> tried = new ArrayList<>();
        String override = System.getProperty(PATH_PROPERTY);
        if (override != null) {
            tryLoad(() -> System.load(Path.of(override).toAbsolutePath().toString()),
                    PATH_PROPERTY + "=" + override, tried);
        } else {
            tryLoad(() -> System.loadLibrary(NAME), "java.library.path", tried);
            if (!loaded) {
                tryLoad(NativeLibrary::loadBundled, "the copy in the jar (" + bundledResource() + ")",
                        tried);
            }
        }
        if (!loaded) {
            failure = new UnsatisfiedLinkError("cannot load the native library " + NAME
                    + "; tried " + String.join("; ", tried));
            throw failure;
        }
    }

    /** Where the jar keeps the library for this operating system and processor. */
    static String bundledResource() {
        return "org/pellwick/native/" + platform() + "/" + System.mapLibraryName(NAME);
    }

    static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        os = os.startsWith("linux") ? "linux" : os.startsWith("mac") ? "macos"
                : os.startsWith("windows") ? "windows" : os.replaceAll("[^a-z0-9]", "");
        arch = switch (arch) {
            case "amd64", "x86_64", "x64" -> "x86_64";
            case "aarch64", "arm64" -> "aarch64";
            default -> arch.replaceAll("[^a-z0-9_]", "");
        };
        return os + "-" + arch;
    }

    private interface Attempt {
        void run() throws IOException;
    }

    private static void tryLoad(Attempt attempt, String what, List<String> tried) {
        try {
            attempt.run();
            loaded = true;
        } catch (IOException | UnsatisfiedLinkError | SecurityException e) {
            String why = e.getMessage() != null ? e.getMessage() : e.getClass().getSimpleName();
            tried.add(what + ": " + why);
        }
    }

    private static void loadBundled() throws IOException {
        String resource = bundledResource();
        try (InputStream in = NativeLibrary.class.getClassLoader() == null ? null
                : NativeLibrary.class.getClassLoader().getResourceAsStream(resource)) {
            if (in == null) {
                throw new IOException("not in the jar: no build for " + platform());
            }
            boolean posix = FileSystems.getDefault().supportedFileAttributeViews().contains("posix");
            Path dir = posix
                    ? Files.createTempDirectory(NAME + "-", PosixFilePermissions.asFileAttribute(
                            PosixFilePermissions.fromString("rwx------")))
                    : Files.createTempDirectory(NAME + "-");
            Path file = dir.resolve(System.mapLibraryName(NAME));
            try {
                Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
                System.load(file.toString());
            } finally {
                // A loaded library stays mapped on POSIX systems; elsewhere it
                // is locked until the JVM exits.
                if (!deleted(file) | !deleted(dir)) {
                    dir.toFile().deleteOnExit();
                    file.toFile().deleteOnExit();
                }
            }
        }
    }

    private static boolean deleted(Path path) {
        try {
            Files.deleteIfExists(path);
            return true;
        } catch (IOException e) {
            return false;
        }
    }
}
