import com.zel.io.file.UnixNativeFile;

/** Loads the library from the jar and asks whether each argument is a symbolic link. */
public class Demo {
    public static void main(String[] args) throws Exception {
        for (String path : args.length > 0 ? args : new String[] {"/", "/bin"}) {
            System.out.println(path + ": " + (UnixNativeFile.isSymLink(path) ? "symbolic link" : "not a link"));
        }
    }
}
