// The show in a web page. Start-up, the window procedure and the frame step
// are the show's own; the message loop runs in steps, one on every animation
// frame of the page, so it paces frames as it does everywhere: a frame only
// when more than 20 ms have passed since the last began. Esc ends the show
// and leaves its last picture on the page.
//
// The page passes its address's query string as the one argument:
// "?seed=N" seeds the show with N, anything else with the clock.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <memory>

#include "engine/trail_filter.h"
#include "platform/web/web_input.h"
#include "platform/web/web_platform.h"
#include "shell/run_show.h"

namespace {

// The trail filter's pass, as Module.trailFilter, for whoever watches the page.
EM_JS(void, PublishTrailFilter, (const char* name), { Module.trailFilter = UTF8ToString(name); });

struct PageShow {
    std::unique_ptr<WebPlatform> platform;
    std::unique_ptr<Show> show;
    MessageLoop loop;
};

// RunFrame, timed for the page's figures.
void TimedFrame(Show& show, int32_t frameRate) {
    const double start = emscripten_get_now();
    RunFrame(show, frameRate);
    static_cast<WebPlatform*>(show.platform)->CountFrame(emscripten_get_now() - start);
}

EM_BOOL OnAnimationFrame(double, void* data) {
    PageShow& page = *static_cast<PageShow*>(data);
    WebPlatform& platform = *page.platform;
    // One clock reading for the whole step: at most one frame per animation
    // frame, however long the frame takes.
    platform.SetClock(uint32_t(uint64_t(emscripten_get_now())));
    PumpMessageLoop(*page.show, page.loop, TimedFrame);
    platform.ShowOnPage();
    platform.PublishStats(page.loop.quit);
    if (!page.loop.quit) return EM_TRUE;
    StopShow(*page.show);
    page.platform.reset();  // the page has its keys back
    return EM_FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    const PageSeed seed = SeedFromQuery(argc > 1 ? argv[1] : "");
    if (seed.bad) {
        std::fprintf(stderr,
                     "starvane: the seed in the address is not a number from 0 to 4294967295; seeding from the "
                     "clock\n");
    }
    // Lives as long as the page.
    auto* page = new PageShow{std::make_unique<WebPlatform>("#screen"), std::make_unique<Show>(), {}};
    const char* reason = nullptr;
    if (!StartShow(*page->show, *page->platform, seed.seed, &reason)) {
        std::fprintf(stderr, "starvane: %s\n", reason);
        page->platform.reset();
        return 1;
    }
    PublishTrailFilter(TrailFilterPathName(TrailFilterBestPath()));
    page->platform->ShowOnPage();
    page->loop = BeginMessageLoop(*page->platform);
    emscripten_request_animation_frame_loop(OnAnimationFrame, page);
    return 0;
}
