// P/Invoke declarations of veltrane.dll for C# (.NET Framework and .NET).
//
// Rules that matter:
// - Strings go in as BSTRs: every string parameter is MarshalAs(UnmanagedType.BStr).
// - Every export and the callback are stdcall.
// - The delegate handed to DLL_START must stay alive as long as the process:
//   the library calls it until the process ends. Start() below keeps it in a
//   static field; a delegate held only by a local variable is collected, and
//   the next host event then calls freed memory.
// - The process must have the DLL's bitness: an x64 process loads
//   bin\x64\veltrane.dll, an x86 one bin\x86\veltrane.dll. Build for x86 or
//   x64 explicitly (not AnyCPU with "Prefer 32-bit" left to chance), or put
//   the matching DLL beside the program at install time.
// - Call DLL_START on the UI thread (a WinForms or WPF message loop runs
//   there); events then arrive on that thread.
// - The callback must not throw. The 64-bit library catches an exception
//   that leaves it (logged once as "NotifyHost => host callback threw ...")
//   and goes on; through the 32-bit one it would unwind past code that must
//   not be skipped. Start() below catches everything itself.
using System;
using System.Runtime.InteropServices;

namespace Veltrane
{
    // One host event, 8-bit text in the ANSI code page, valid during the call.
    [UnmanagedFunctionPointer(CallingConvention.StdCall)]
    public delegate void HostEventCallback([MarshalAs(UnmanagedType.LPStr)] string hostEvent);

    public static class NativeMethods
    {
        private const string Dll = "veltrane.dll";

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void DLL_START([MarshalAs(UnmanagedType.BStr)] string basePath,
                                            [MarshalAs(UnmanagedType.BStr)] string windowTitle,
                                            HostEventCallback callback);

        // Ends the host process (exit code 1) when it succeeds.
        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void DLL_FINISH();

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void CERTIFICATION_NO([MarshalAs(UnmanagedType.BStr)] string phoneNo);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void CERTIFICATION_OTHER();

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void CERTIFICATION_PC([MarshalAs(UnmanagedType.BStr)] string phoneNo,
                                                   [MarshalAs(UnmanagedType.BStr)] string certificationNo);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void PC_LOGIN([MarshalAs(UnmanagedType.BStr)] string phoneNo,
                                           [MarshalAs(UnmanagedType.BStr)] string loginId,
                                           [MarshalAs(UnmanagedType.BStr)] string password);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void PC_LOGOUT();

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void DIAL([MarshalAs(UnmanagedType.BStr)] string number);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void PICK_UP([MarshalAs(UnmanagedType.BStr)] string guestPhone);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void HANG_UP([MarshalAs(UnmanagedType.BStr)] string guestPhone);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void RE_DIAL();

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void SMS_INSTANT([MarshalAs(UnmanagedType.BStr)] string calledNo,
                                              [MarshalAs(UnmanagedType.BStr)] string message);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void SMS_BOOKED([MarshalAs(UnmanagedType.BStr)] string calledNo,
                                             [MarshalAs(UnmanagedType.BStr)] string message,
                                             [MarshalAs(UnmanagedType.BStr)] string sendTime);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void CALL_RECORD([MarshalAs(UnmanagedType.BStr)] string phoneNo);

        [DllImport(Dll, CallingConvention = CallingConvention.StdCall, ExactSpelling = true)]
        public static extern void WEB_REQUEST([MarshalAs(UnmanagedType.BStr)] string kind,
                                              [MarshalAs(UnmanagedType.BStr)] string phoneNo,
                                              [MarshalAs(UnmanagedType.BStr)] string guestPhone,
                                              [MarshalAs(UnmanagedType.BStr)] string smsMessage);
    }

    public static class Library
    {
        // Held for the life of the process: the library keeps calling it.
        private static HostEventCallback callback;

        // DLL_START with a callback that cannot be collected. Call it on the
        // UI thread; `onEvent` runs there for every host event.
        public static void Start(string basePath, string windowTitle, Action<string> onEvent,
                                 Action<Exception> onError = null)
        {
            callback = text =>
            {
                try { onEvent(text); }
                catch (Exception error) { onError?.Invoke(error); }
            };
            NativeMethods.DLL_START(basePath, windowTitle, callback);
        }
    }
}
