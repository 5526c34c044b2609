import tsapi.exceptions.Abort;
import tsapi.web;

/**
 * Logs a customer in through the site's form, looks at the order list and
 * logs out: a form with a hidden token saved from the page before it, text
 * checks, a link, an image check and cookies.
 */
public class AccountLogin {
    private static int failedSteps = 0;

    public static void main(String[] args) {
        check("initialize", web.jweb_initialize());
        try {
            login();
        } catch (Abort abort) {
            System.out.println("the engine failed inside a call; the login ends here");
        } finally {
            check("cleanup cookies", web.jweb_cleanup_cookies());
            check("terminate", web.jweb_terminate());
        }
        System.out.println("AccountLogin: " + (failedSteps == 0 ? "every step passed" : failedSteps + " steps failed"));
    }

    private static void login() {
        check("server credentials", web.jweb_set_user("shopper", "s3cret", "shop.test:443"));
        check("consent cookie", web.jweb_add_cookie("consent=yes; domain=shop.test"));
        check("parameter length", web.jweb_set_max_html_param_len("4096"));
        check("keep alive", web.jweb_enable_keep_alive());

        check("save token", web.jweb_reg_save_param("csrf",
                new String[] {"LB=name=\"csrf\" value=\"", "RB=\"", "NotFound=ERROR"}));
        check("login page", web.jweb_url("login_page", "URL=https://shop.test/login",
                new String[] {"Resource=0", "RecContentType=text/html", "Mode=HTML"}));

        check("expect welcome", web.jweb_reg_find("Text=Welcome back", new String[] {"SaveCount=welcome_count"}));
        check("login", web.jweb_submit_form("login",
                new String[] {"Snapshot=t2.inf"},
                new String[] {"Name=user", "Value=shopper", "ENDITEM",
                              "Name=password", "Value=s3cret", "ENDITEM",
                              "Name=csrf", "Value={csrf}", "ENDITEM"}));

        check("orders", web.jweb_link("my_orders", "Text=My orders", new String[] {"Snapshot=t3.inf"}));
        check("logo", web.jweb_image_check("logo", new String[] {"Alt=Shop", "Src=/img/logo.png"}));
        check("find order", web.jweb_web_find("order_list", new String[] {"What=Order #"}, new String[0]));
        check("save headers", web.jweb_save_header("RESPONSE", "last_headers"));

        check("logout", web.jweb_link("logout", "Text=Log out", null));
        check("forget consent", web.jweb_remove_cookie("consent=yes; domain=shop.test"));
    }

    private static void check(String step, int result) {
        if (result == 0) return;
        ++failedSteps;
        System.out.println(step + ": engine result " + result);
    }
}
