import tsapi.exceptions.Abort;
import tsapi.web;

/**
 * A shopper's visit, the kind of script a load test runs thousands of times.
 * Run it with the host launcher (RunScript), which loads the engine first.
 */
public class ShopperVisit {
    public static void main(String[] args) {
        check("initialize", web.jweb_initialize());
        try {
            check("proxy", web.jweb_set_proxy("proxy.shop.test:3128"));
            check("timeout", web.jweb_set_timeout("STEP", "30"));
            check("auto header", web.jweb_add_auto_header("Accept-Language", "en-GB"));

            check("home", web.jweb_url("home", "URL=http://shop.test/",
                    new String[] {"Resource=0", "Mode=HTML"}));
            check("save", web.jweb_reg_save_param("basket_id",
                    new String[] {"LB=basket=", "RB=\"", "Ord=1"}));
            check("search", web.jweb_submit_data("search", "Action=http://shop.test/search",
                    new String[] {"Method=POST", "Mode=HTML"},
                    new String[] {"Name=q", "Value=" + web.jweb_util_url_encode("caf\u00e9 cr\u00e8me"), "ENDITEM"}));

            String credentials = web.jweb_util_base64encode("shopper:s3cret");
            check("auth header", web.jweb_add_header("Authorization", "Basic " + credentials));
            byte[] json = "{\"sku\":\"A-42\",\"qty\":2}".getBytes(java.nio.charset.StandardCharsets.UTF_8);
            check("basket", web.jweb_custom_request2("add_to_basket", "URL=http://shop.test/basket",
                    new String[] {"Method=POST", "EncType=application/json"}, json));

            check("group", web.jweb_concurrent_start("images", null, "LAST"));
            check("logo", web.jweb_url("logo", "URL=http://shop.test/logo.png", null));
            check("group end", web.jweb_concurrent_end(null, "LAST"));
        } catch (Abort abort) {
            System.out.println("the engine failed inside a call; the script ends here");
        } finally {
            check("terminate", web.jweb_terminate());
        }
    }

    private static void check(String step, int result) {
        if (result != 0) System.out.println(step + ": engine result " + result);
    }
}
