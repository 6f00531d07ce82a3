// DirectShow filter graph of the open media, its volume, events and video window.
#include "sonmoor.h"

#include <d3d9.h>
#include <vmr9.h>
#include <math.h>
#include <string.h>

SnmEngine snm_engine;
LONG snm_volume = 0;
BOOL snm_muted = FALSE;

static const LONG SNM_SILENCE = -10000;

template <class T> static void snm_release(T *&p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

static LONG snm_effective_volume(void) { return snm_muted ? SNM_SILENCE : snm_volume; }

int snm_set_owner(HWND owner)
{
    snm_engine.owner = owner;
    if (snm_engine.video) snm_engine.video->put_Owner((OAHWND)owner);
    return 1;
}

// Adds the VMR-9 in windowed, letter-boxed mode; without it DirectShow picks
// its default video renderer while rendering.
static void snm_add_renderer(void)
{
    IBaseFilter *vmr = nullptr;
    if (FAILED(CoCreateInstance(CLSID_VideoMixingRenderer9, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IBaseFilter, (void **)&vmr)))
        return;
    IVMRFilterConfig9 *config = nullptr;
    if (SUCCEEDED(vmr->QueryInterface(IID_IVMRFilterConfig9, (void **)&config))) {
        config->SetRenderingMode(VMR9Mode_Windowed);
        config->Release();
    }
    snm_engine.graph->AddFilter(vmr, L"Video Mixing Renderer");
    snm_engine.renderer = vmr;
    snm_set_keep_aspect(snm_keep_aspect);
}

int snm_keep_aspect = 1;

// Letter-boxed keeps the video's shape; otherwise it stretches to the window.
int snm_set_keep_aspect(int keep)
{
    snm_keep_aspect = keep != 0;
    IVMRAspectRatioControl9 *aspect = nullptr;
    if (!snm_engine.renderer ||
        FAILED(snm_engine.renderer->QueryInterface(IID_IVMRAspectRatioControl9, (void **)&aspect)))
        return 0;
    HRESULT hr = aspect->SetAspectRatioMode(snm_keep_aspect ? VMR9ARMode_LetterBox : VMR9ARMode_None);
    aspect->Release();
    return SUCCEEDED(hr);
}

static void snm_attach_video_window(void)
{
    IVideoWindow *video = snm_engine.video;
    HWND owner = snm_engine.owner;
    video->put_MessageDrain((OAHWND)owner);
    video->put_Owner((OAHWND)owner);
    video->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN);
    BSTR caption = SysAllocString(L"Quorva Media Player Video");
    video->put_Caption(caption);
    SysFreeString(caption);
    RECT rc = {0, 0, 0, 0};
    GetClientRect(owner, &rc);
    video->SetWindowPosition(0, 0, rc.right, rc.bottom);
}

// DirectShow names a missing file VFW_E_NOT_FOUND; some implementations (Wine
// among them) pass the file system's own not-found codes through instead.
static int snm_render_not_found(HRESULT hr)
{
    return hr == VFW_E_NOT_FOUND || hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
           hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

int snm_open(const char *path)
{
    if (!snm_engine.owner) return 0;
    snm_stop();
    snm_close();
    if (!path || lstrlenA(path) < 3) return 0;
    // A path that does not fit the 260-character buffers cannot name a file
    // here; refuse it as a missing file rather than render a truncated name.
    if (lstrlenA(path) >= SNM_PATH_CHARS) return 0;

    HCURSOR previous = SetCursor(LoadCursorA(nullptr, (LPCSTR)IDC_WAIT));
    int result = 0;

    if (SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   (void **)&snm_engine.graph))) {
        snm_add_renderer();

        WCHAR wide[SNM_PATH_CHARS];
        memset(wide, 0, sizeof wide);
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide, SNM_PATH_CHARS);

        HRESULT hr = snm_engine.graph->RenderFile(wide, nullptr);
        if (snm_render_not_found(hr)) {
            snm_close();
        } else {
            IGraphBuilder *g = snm_engine.graph;
            if (FAILED(g->QueryInterface(IID_IMediaControl, (void **)&snm_engine.control))) snm_engine.control = nullptr;
            if (FAILED(g->QueryInterface(IID_IMediaPosition, (void **)&snm_engine.position))) snm_engine.position = nullptr;
            if (FAILED(g->QueryInterface(IID_IBasicAudio, (void **)&snm_engine.audio))) snm_engine.audio = nullptr;
            if (SUCCEEDED(g->QueryInterface(IID_IVideoWindow, (void **)&snm_engine.video)))
                snm_attach_video_window();
            else
                snm_engine.video = nullptr;
            if (FAILED(g->QueryInterface(IID_IMediaEvent, (void **)&snm_engine.event))) snm_engine.event = nullptr;
            if (FAILED(g->QueryInterface(IID_IMediaEventEx, (void **)&snm_engine.event_ex))) snm_engine.event_ex = nullptr;
            if (snm_engine.audio) snm_engine.audio->put_Volume(snm_effective_volume());
            if (snm_engine.event_ex)
                snm_engine.event_ex->SetNotifyWindow((OAHWND)snm_engine.owner, WM_APP_MEDIA_NOTIFY, 0);
            lstrcpynA(snm_engine.path, path, SNM_PATH_CHARS);
            snm_engine.rendered = SUCCEEDED(hr);
            result = 1;
        }
    } else {
        snm_engine.graph = nullptr;
    }

    SetCursor(previous);
    return result;
}

int snm_play(void)
{
    if (!snm_engine.graph) return 0;
    // A file that rendered nothing stays open but is not run: a graph holding
    // only the unconnected video renderer would otherwise report itself running
    // forever and never complete.
    if (snm_engine.control && snm_engine.rendered) snm_engine.control->Run();
    if (snm_engine.audio) snm_engine.audio->put_Volume(snm_effective_volume());
    return 1;
}

int snm_pause(void)
{
    if (!snm_engine.graph) return 0;
    if (snm_engine.control) snm_engine.control->Pause();
    return 1;
}

int snm_stop(void)
{
    if (!snm_engine.graph) return 0;
    if (snm_engine.control) snm_engine.control->Stop();
    if (snm_engine.position) snm_engine.position->put_CurrentPosition(0.0);
    return 1;
}

int snm_close(void)
{
    snm_stop();
    if (snm_engine.renderer) {
        if (snm_engine.graph) snm_engine.graph->RemoveFilter(snm_engine.renderer);
        snm_release(snm_engine.renderer);
    }
    if (snm_engine.video) {
        snm_engine.video->put_Owner((OAHWND) nullptr);
        snm_release(snm_engine.video);
    }
    snm_release(snm_engine.audio);
    snm_release(snm_engine.event_ex);
    snm_release(snm_engine.event);
    snm_release(snm_engine.position);
    snm_release(snm_engine.control);
    snm_release(snm_engine.graph);
    snm_engine.path[0] = 0;
    snm_engine.rendered = 0;
    return 1;
}

int snm_is_open(void) { return snm_engine.graph != nullptr; }

int snm_is_playing(void)
{
    if (!snm_engine.control) return 0;
    OAFilterState state = State_Stopped;
    if (FAILED(snm_engine.control->GetState(100, &state))) return 0;
    return state == State_Running;
}

int snm_current_path(char *out)
{
    if (!out) return 0;
    lstrcpynA(out, snm_engine.path, SNM_PATH_CHARS);
    return snm_engine.path[0] != 0;
}

double snm_get_position(void)
{
    REFTIME t = 0.0;
    if (!snm_engine.position || FAILED(snm_engine.position->get_CurrentPosition(&t))) return 0.0;
    return t;
}

double snm_get_duration(void)
{
    REFTIME t = 0.0;
    if (!snm_engine.position || FAILED(snm_engine.position->get_Duration(&t))) return 0.0;
    return t;
}

double snm_seek(double seconds)
{
    if (!snm_engine.graph || !snm_engine.position) return 0.0;
    double duration = snm_get_duration();
    // The comparisons are written so that a NaN request lands on 0.
    if (!(seconds > 0.0)) seconds = 0.0;
    if (seconds > duration) seconds = duration;
    snm_engine.position->put_CurrentPosition(seconds);
    return snm_get_position();
}

double snm_get_volume(void)
{
    if (snm_engine.audio && !snm_muted) {
        long v = snm_volume;
        if (SUCCEEDED(snm_engine.audio->get_Volume(&v)) && v >= SNM_SILENCE && v <= 0) snm_volume = v;
    }
    double f = (snm_volume + 10000) / 10000.0;
    return f * f;
}

double snm_set_volume(double fraction)
{
    if (!(fraction > 0.0)) fraction = 0.0;
    if (fraction > 1.0) fraction = 1.0;
    snm_volume = (LONG)((1.0 - sqrt(fraction)) * -10000.0);
    if (snm_engine.audio) snm_engine.audio->put_Volume(snm_effective_volume());
    return fraction;
}

int snm_set_mute(int flag)
{
    snm_muted = flag ? TRUE : FALSE;
    if (snm_engine.audio) snm_engine.audio->put_Volume(snm_effective_volume());
    return flag;
}

int snm_get_mute(void) { return snm_muted; }

int snm_poll_event(int *kind)
{
    if (!kind || !snm_engine.graph || !snm_engine.event_ex) return 0;
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    if (FAILED(snm_engine.event_ex->GetEvent(&code, &p1, &p2, 0))) return 0;
    snm_engine.event_ex->FreeEventParams(code, p1, p2);
    *kind = code == EC_COMPLETE ? SNM_EVENT_COMPLETE : code == EC_STATE_CHANGE ? SNM_EVENT_STATE_CHANGE : 0;
    return 1;
}

int snm_set_video_rect(const RECT *r)
{
    if (!snm_engine.video || !r) return 0;
    snm_engine.video->SetWindowPosition(r->left, r->top, r->right, r->bottom);
    return 1;
}

int snm_set_fullscreen(int flag)
{
    if (snm_engine.video) snm_engine.video->put_FullScreenMode(flag ? OATRUE : OAFALSE);
    return flag;
}

int snm_is_fullscreen(void)
{
    long mode = OAFALSE;
    if (!snm_engine.video || FAILED(snm_engine.video->get_FullScreenMode(&mode))) return 0;
    return mode == OATRUE;
}
