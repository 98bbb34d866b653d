// Log texts in Chinese, held as code page 936 (GBK) bytes: log lines are narrow
// byte strings that pass through unchanged, so they must not be stored as UTF-8.
// The UTF-8 original of each stands beside it.
#pragma once

// 设备名 : %s
inline constexpr char kLogDeviceName[] = "\xc9\xe8\xb1\xb8\xc3\xfb : %s";
// 内部错误,未知的运行状态[%d]\n
inline constexpr char kLogUnknownRunState[] =
    "\xc4\xda\xb2\xbf\xb4\xed\xce\xf3,\xce\xb4\xd6\xaa\xb5\xc4\xd4\xcb\xd0\xd0\xd7\xb4\xcc\xac[%d]"
    "\n";
// 设备已断开[%d]
inline constexpr char kLogDeviceDisconnected[] = "\xc9\xe8\xb1\xb8\xd2\xd1\xb6\xcf\xbf\xaa[%d]";
// 正在初始化...
inline constexpr char kLogInitialising[] = "\xd5\xfd\xd4\xda\xb3\xf5\xca\xbc\xbb\xaf...";
// 打开设备失败
inline constexpr char kLogOpenDeviceFailed[] = "\xb4\xf2\xbf\xaa\xc9\xe8\xb1\xb8\xca\xa7\xb0\xdc";
// 打开设备成功
inline constexpr char kLogOpenDeviceOk[] = "\xb4\xf2\xbf\xaa\xc9\xe8\xb1\xb8\xb3\xc9\xb9\xa6";
// 设备未处于投屏模式
inline constexpr char kLogNotInCaptureMode[] =
    "\xc9\xe8\xb1\xb8\xce\xb4\xb4\xa6\xd3\xda\xcd\xb6\xc6\xc1\xc4\xa3\xca\xbd";
// 开启投屏模式成功
inline constexpr char kLogCaptureModeOnOk[] =
    "\xbf\xaa\xc6\xf4\xcd\xb6\xc6\xc1\xc4\xa3\xca\xbd\xb3\xc9\xb9\xa6";
// 开启投屏模式失败1
inline constexpr char kLogCaptureModeOnFailed[] =
    "\xbf\xaa\xc6\xf4\xcd\xb6\xc6\xc1\xc4\xa3\xca\xbd\xca\xa7\xb0\xdc"
    "1";
// 设备处于投屏模式
inline constexpr char kLogInCaptureMode[] =
    "\xc9\xe8\xb1\xb8\xb4\xa6\xd3\xda\xcd\xb6\xc6\xc1\xc4\xa3\xca\xbd";
// SetQTConfigAndInterface 失败
inline constexpr char kLogSetConfigFailed[] = "SetQTConfigAndInterface \xca\xa7\xb0\xdc";
// 投屏中...
inline constexpr char kLogCapturing[] = "\xcd\xb6\xc6\xc1\xd6\xd0...";
