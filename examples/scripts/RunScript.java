import java.lang.reflect.Method;

/**
 * A minimal host: loads the engine module first, as a real host does, then
 * runs the script class named on the command line.
 *   java -Dtsw.engine=/path/to/libTswReplayMain.so RunScript ShopperVisit
 */
public class RunScript {
    public static void main(String[] args) throws Exception {
        System.load(System.getProperty("tsw.engine"));
        Method main = Class.forName(args[0]).getMethod("main", String[].class);
        main.invoke(null, (Object) new String[0]);
    }
}
