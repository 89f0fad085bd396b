// Veltrane.Phone from C#: late-bound calls through `dynamic` (no interop
// assembly to generate or ship), events through a sink class that .NET
// exposes to COM as IDispatch. Build for the bitness of the registered
// veltrane.dll (x64 or x86, not AnyCPU left to chance):
//
//   csc /platform:x64 /r:Microsoft.CSharp.dll PhoneSession.cs
//   mcs -platform:x64 -r:Microsoft.CSharp.dll PhoneSession.cs
//   PhoneSession C:\Veltrane\ 0212345678 user1 secret
using System;
using System.Runtime.InteropServices;
using System.Runtime.InteropServices.ComTypes;

namespace Veltrane.Samples
{
    // The object's events, as its type library declares them.
    [ComImport, Guid("521E5418-4860-4502-88EC-5ACA76F92B7A"), InterfaceType(ComInterfaceType.InterfaceIsIDispatch)]
    public interface IPhoneEvents
    {
        [DispId(1)] void HostEvent(string text);
        [DispId(2)] void CallState(string phone, string otherParty, string state, string direction);
    }

    [ComVisible(true), ClassInterface(ClassInterfaceType.None)]
    public sealed class PhoneEvents : IPhoneEvents
    {
        public void HostEvent(string text) { Console.WriteLine("event " + text); }

        public void CallState(string phone, string otherParty, string state, string direction)
        {
            Console.WriteLine("call  {0} {1} {2}", otherParty, state, direction == "R" ? "incoming" : "outgoing");
        }
    }

    public static class PhoneSession
    {
        // Runs the thread's messages (the sink's events fire meanwhile) until
        // an event containing `text` is taken; false after 10 s of silence.
        static bool WaitFor(dynamic phone, string text)
        {
            for (;;)
            {
                string received = phone.WaitEvent(10000);
                if (received.Length == 0) return false;
                if (received.Contains(text)) return true;
            }
        }

        [STAThread]  // the object's events arrive on this thread
        public static int Main(string[] args)
        {
            if (args.Length < 4)
            {
                Console.Error.WriteLine("usage: PhoneSession <base folder> <phone> <login id> <password>");
                return 2;
            }
            Type type = Type.GetTypeFromProgID("Veltrane.Phone", true);
            dynamic phone = Activator.CreateInstance(type);
            Console.WriteLine("Veltrane " + phone.Version);

            var container = (IConnectionPointContainer)phone;
            Guid events = typeof(IPhoneEvents).GUID;
            IConnectionPoint point;
            container.FindConnectionPoint(ref events, out point);
            int cookie;
            point.Advise(new PhoneEvents(), out cookie);

            phone.WaitEvent(0);  // from now on the object keeps events for WaitEvent too
            phone.Start(args[0]);
            bool ok = WaitFor(phone, "|conn|connect|");
            if (ok)
            {
                phone.Login(args[1], args[2], args[3]);
                ok = WaitFor(phone, "|login|success|");
            }
            if (ok)
            {
                phone.Dial("0311112222");
                ok = WaitFor(phone, "|calling|S|");
            }
            phone.Stop();  // never Finish: it ends this process
            WaitFor(phone, "|dllfinish|");
            point.Unadvise(cookie);
            Marshal.ReleaseComObject(phone);
            return ok ? 0 : 1;
        }
    }
}
