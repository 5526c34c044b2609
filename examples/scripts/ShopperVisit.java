import java.nio.charset.StandardCharsets;

import tsapi.exceptions.Abort;
import tsapi.web;

/**
 * A shopper's visit, the kind of script a load test runs thousands of times:
 * home page, search, basket (a JSON call with Basic authentication), product
 * images fetched together, checkout. Run it with the host launcher
 * (RunScript), which loads the engine first.
 */
public class ShopperVisit {
    private static int failedSteps = 0;

    public static void main(String[] args) {
        check("initialize", web.jweb_initialize());
        try {
            visit();
        } catch (Abort abort) {
            // The engine failed inside a call. The call gave back everything it
            // borrowed, and this thread and the JVM carry on.
            System.out.println("the engine failed inside a call; the visit ends here");
        } finally {
            check("terminate", web.jweb_terminate());
        }
        System.out.println("ShopperVisit: " + (failedSteps == 0 ? "every step passed" : failedSteps + " steps failed"));
    }

    private static void visit() {
        check("proxy", web.jweb_set_proxy("proxy.shop.test:3128"));
        check("timeout", web.jweb_set_timeout("STEP", "30"));
        check("language", web.jweb_add_auto_header("Accept-Language", "en-GB"));
        check("agent", web.jweb_add_auto_header("User-Agent", "ShopperVisit/1.0"));

        // Registered before the page whose response holds the value.
        check("save basket id", web.jweb_reg_save_param("basket_id",
                new String[] {"LB=name=\"basket\" value=\"", "RB=\"", "Ord=1", "NotFound=ERROR"}));
        check("home", web.jweb_url("home", "URL=http://shop.test/",
                new String[] {"Resource=0", "RecContentType=text/html", "Mode=HTML"}));

        String query = web.jweb_util_url_encode("caf\u00e9 cr\u00e8me");
        check("search", web.jweb_submit_data("search", "Action=http://shop.test/search",
                new String[] {"Method=POST", "RecContentType=text/html", "Mode=HTML"},
                new String[] {"Name=q", "Value=" + query, "ENDITEM",
                              "Name=basket", "Value={basket_id}", "ENDITEM"}));

        String credentials = web.jweb_util_base64encode("shopper:s3cret");
        check("authorization", web.jweb_add_header("Authorization", "Basic " + credentials));
        byte[] item = "{\"basket\":\"{basket_id}\",\"sku\":\"A-42\",\"qty\":2}".getBytes(StandardCharsets.UTF_8);
        check("add to basket", web.jweb_custom_request2("add_to_basket", "URL=http://shop.test/api/basket",
                new String[] {"Method=POST", "EncType=application/json", "Resource=0"}, item));

        // The engine fetches the group's requests side by side. The group's
        // lists carry no end marker of their own: the script passes it.
        check("images", web.jweb_concurrent_start("product_images", null, "LAST"));
        check("image 1", web.jweb_url("a42_front", "URL=http://shop.test/img/a42-front.jpg",
                new String[] {"Resource=1"}));
        check("image 2", web.jweb_url("a42_back", "URL=http://shop.test/img/a42-back.jpg",
                new String[] {"Resource=1"}));
        check("images end", web.jweb_concurrent_end(null, "LAST"));

        check("expect thanks", web.jweb_reg_find("Text=Thank you for your order",
                new String[] {"SaveCount=thanks_count"}));
        check("checkout", web.jweb_url("checkout", "URL=http://shop.test/checkout?basket={basket_id}",
                new String[] {"Resource=0", "Mode=HTML"}));
    }

    // 0 is success for the engine; -55555 means the engine lacks the step's
    // entry, -55556 that memory for the call could not be had.
    private static void check(String step, int result) {
        if (result == 0) return;
        ++failedSteps;
        System.out.println(step + ": engine result " + result);
    }
}
