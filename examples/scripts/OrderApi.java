import java.nio.charset.StandardCharsets;

import tsapi.exceptions.Abort;
import tsapi.web;

/**
 * Drives a JSON API: creates an order, reads it back by the id the response
 * gave, cancels it. Shows request bodies (JSON with non-ASCII text, and an
 * empty one), the engine's int property, and the text utilities.
 */
public class OrderApi {
    // The engine's int property for the last response's HTTP status.
    private static final int HTTP_STATUS = 1;
    private static int failedSteps = 0;

    public static void main(String[] args) {
        check("initialize", web.jweb_initialize());
        try {
            orders();
        } catch (Abort abort) {
            System.out.println("the engine failed inside a call; the run ends here");
        } finally {
            check("terminate", web.jweb_terminate());
        }
        System.out.println("OrderApi: " + (failedSteps == 0 ? "every step passed" : failedSteps + " steps failed"));
    }

    private static void orders() {
        check("retries", web.jweb_set_max_retries("2"));
        check("tls", web.jweb_set_sockets_option("SSL_VERSION", "TLS1.2"));
        check("accept", web.jweb_add_auto_header("Accept", "application/json"));
        String key = web.jweb_util_base64encode("order-client:k\u00e9y");
        check("authorization", web.jweb_add_auto_header("Authorization", "Basic " + key));

        check("save order id", web.jweb_reg_save_param("order_id",
                new String[] {"LB=\"id\":\"", "RB=\"", "NotFound=ERROR"}));
        byte[] order = "{\"customer\":\"Zo\u00eb\",\"note\":\"ring twice\\n\",\"lines\":[{\"sku\":\"A-42\",\"qty\":1}]}"
                .getBytes(StandardCharsets.UTF_8);
        check("create", web.jweb_custom_request2("create_order", "URL=https://api.shop.test/v1/orders",
                new String[] {"Method=POST", "EncType=application/json; charset=utf-8"}, order));
        System.out.println("create_order: HTTP status " + web.jweb_get_int_property(HTTP_STATUS));

        check("read", web.jweb_custom_request("read_order", "URL=https://api.shop.test/v1/orders/{order_id}",
                new String[] {"Method=GET"}));

        // A body the server reads as empty: the engine gets an empty string.
        check("cancel", web.jweb_custom_request2("cancel_order",
                "URL=https://api.shop.test/v1/orders/{order_id}/cancel",
                new String[] {"Method=POST", "EncType=application/json"}, new byte[0]));

        check("plain accept", web.jweb_revert_auto_header("Accept"));
        String note = web.jweb_util_url_decode("note%3Dcaf%C3%A9+cr%C3%A8me");
        System.out.println("decoded note: " + note + "; key " + web.jweb_util_base64decode(key));
    }

    private static void check(String step, int result) {
        if (result == 0) return;
        ++failedSteps;
        System.out.println(step + ": engine result " + result);
    }
}
