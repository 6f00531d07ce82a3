// Sonmoor: plays one media file at a time through a DirectShow filter graph,
// with the VMR-9 in windowed mode hosted as a child of the owner window.
// Every operation runs on the user-interface thread.
#pragma once
#include <windows.h>
#include <dshow.h>

#define WM_APP_MEDIA_NOTIFY (WM_APP + 0x63)  // posted by the graph while events wait

#define SNM_EVENT_COMPLETE 1      // EC_COMPLETE: playback reached the end
#define SNM_EVENT_STATE_CHANGE 2  // EC_STATE_CHANGE

#define SNM_PATH_CHARS 260

struct SnmEngine {
    HWND owner;
    IGraphBuilder *graph;  // present while media is open
    IMediaControl *control;
    IMediaPosition *position;
    IMediaEvent *event;
    IMediaEventEx *event_ex;
    IBasicAudio *audio;
    IVideoWindow *video;
    IBaseFilter *renderer;  // the VMR-9, removed from the graph at close
    char path[SNM_PATH_CHARS];
    int rendered;  // RenderFile succeeded, in full or in part
};

extern SnmEngine snm_engine;
extern LONG snm_volume;  // hundredths of a decibel, -10000..0
extern BOOL snm_muted;

int snm_set_owner(HWND owner);
int snm_open(const char *path);
int snm_play(void);
int snm_pause(void);
int snm_stop(void);
int snm_close(void);
int snm_is_open(void);
int snm_is_playing(void);
int snm_current_path(char *out);
double snm_get_position(void);
double snm_get_duration(void);
double snm_seek(double seconds);
double snm_get_volume(void);
double snm_set_volume(double fraction);
int snm_set_mute(int flag);
int snm_get_mute(void);
int snm_poll_event(int *kind);
// The record is read as left, top, width, height; a client rectangle, whose
// left and top are 0, can be passed as it is.
int snm_set_video_rect(const RECT *r);
int snm_set_fullscreen(int flag);
// Whether video keeps its shape (letter-boxed, the start state) or fills the
// window. The choice holds for every file opened later; 1 when the open
// renderer took it.
extern int snm_keep_aspect;
int snm_set_keep_aspect(int keep);
int snm_is_fullscreen(void);
