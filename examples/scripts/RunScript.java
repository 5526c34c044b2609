import java.io.File;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;

/**
 * A minimal host: loads the engine module first, as a real host does, then
 * runs the script classes named on the command line, one after the other.
 *   java -Dtsw.engine=/path/to/libTswReplayMain.so RunScript ShopperVisit [OrderApi ...]
 */
public class RunScript {
    public static void main(String[] args) throws Throwable {
        // Before tsapi.web is first used: the library binds only an engine that
        // is already loaded.
        System.load(new File(System.getProperty("tsw.engine")).getAbsolutePath());
        for (String script : args) {
            Method main = Class.forName(script).getMethod("main", String[].class);
            try {
                main.invoke(null, (Object) new String[0]);
            } catch (InvocationTargetException e) {
                throw e.getCause();
            }
        }
    }
}
