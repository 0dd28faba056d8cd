// The program's view of a hosted web browser's events and host questions.
// Every operation has a harmless default, so a handler overrides only what
// it needs. The order of the operations is part of the interface.
#pragma once

#include "platform/windows_api.h"
#include <docobj.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <oaidl.h>

namespace toolkit {

class IWebBrowserEvents {
 public:
  virtual ~IWebBrowserEvents() = default;
  virtual void BeforeNavigate2(IDispatch* dispatch, VARIANT* url, VARIANT* flags, VARIANT* target_frame,
                               VARIANT* post_data, VARIANT* headers, VARIANT_BOOL* cancel) {
    (void)dispatch, (void)url, (void)flags, (void)target_frame, (void)post_data, (void)headers, (void)cancel;
  }
  virtual void NavigateError(IDispatch* dispatch, VARIANT* url, VARIANT* target_frame, VARIANT* status_code,
                             VARIANT_BOOL* cancel) {
    (void)dispatch, (void)url, (void)target_frame, (void)status_code, (void)cancel;
  }
  virtual void NavigateComplete2(IDispatch* dispatch, VARIANT* url) { (void)dispatch, (void)url; }
  virtual void DocumentComplete(IDispatch* dispatch, VARIANT* url) { (void)dispatch, (void)url; }
  // Reserved: never raised.
  virtual void ProgressChange(long progress, long progress_max) { (void)progress, (void)progress_max; }
  virtual void NewWindow3(IDispatch** dispatch, VARIANT_BOOL* cancel, DWORD flags, BSTR url_context, BSTR url) {
    (void)dispatch, (void)cancel, (void)flags, (void)url_context, (void)url;
  }
  virtual void CommandStateChange(long command, VARIANT_BOOL enable) { (void)command, (void)enable; }
  // Document-host questions; the defaults keep the browser plain and quiet.
  virtual HRESULT ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object) {
    (void)id, (void)point, (void)target, (void)object;
    return S_OK;
  }
  virtual HRESULT GetHostInfo(DOCHOSTUIINFO* info) {
    (void)info;
    return E_NOTIMPL;
  }
  virtual HRESULT ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target, IOleInPlaceFrame* frame,
                         IOleInPlaceUIWindow* document) {
    (void)id, (void)active, (void)target, (void)frame, (void)document;
    return S_FALSE;
  }
  virtual HRESULT HideUI() { return S_OK; }
  virtual HRESULT UpdateUI() { return S_OK; }
  virtual HRESULT EnableModeless(BOOL enable) {
    (void)enable;
    return S_OK;
  }
  virtual HRESULT OnDocWindowActivate(BOOL activate) {
    (void)activate;
    return S_OK;
  }
  virtual HRESULT OnFrameWindowActivate(BOOL activate) {
    (void)activate;
    return S_OK;
  }
  virtual HRESULT ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frame) {
    (void)border, (void)window, (void)frame;
    return S_OK;
  }
  virtual HRESULT TranslateAccelerator(LPMSG msg, const GUID* group, DWORD id) {
    (void)msg, (void)group, (void)id;
    return S_FALSE;
  }
  virtual HRESULT GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
    (void)reserved;
    if (key != nullptr) *key = nullptr;
    return E_NOTIMPL;
  }
  virtual HRESULT GetDropTarget(IDropTarget* drop_target, IDropTarget** result) {
    (void)drop_target;
    if (result != nullptr) *result = nullptr;
    return E_NOTIMPL;
  }
  virtual HRESULT GetExternal(IDispatch** dispatch) {
    if (dispatch != nullptr) *dispatch = nullptr;
    return E_NOTIMPL;
  }
  virtual HRESULT TranslateUrl(DWORD translate, OLECHAR* url_in, OLECHAR** url_out) {
    (void)translate, (void)url_in;
    if (url_out != nullptr) *url_out = nullptr;
    return S_FALSE;
  }
  virtual HRESULT FilterDataObject(IDataObject* object, IDataObject** result) {
    (void)object;
    if (result != nullptr) *result = nullptr;
    return S_FALSE;
  }
  // A download the page asks for: refused by default.
  virtual HRESULT Download(IMoniker* moniker, IBindCtx* context, DWORD bind_verb, LONG gripped, BINDINFO* info,
                           LPCOLESTR headers, LPCOLESTR redirect, UINT code_page) {
    (void)moniker, (void)context, (void)bind_verb, (void)gripped, (void)info, (void)headers, (void)redirect,
        (void)code_page;
    return E_NOTIMPL;
  }
};

}  // namespace toolkit
