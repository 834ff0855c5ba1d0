// The events as the scenes see them.
#include "flow/events.h"
#include "platform/platform.h"

events_seen look_at_events() {
    const uint32_t news = video_take_events();
    return events_seen{(news & VIDEO_KEY) != 0, (news & VIDEO_DISPLAY_LOST) != 0, platform_stop_signal()};
}

void end_run_if_asked(const events_seen& seen) {
    if (seen.display_lost) video_end_display_lost();
    if (seen.stop_signal) platform_end_on_signal(seen.stop_signal);
}
