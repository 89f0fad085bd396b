// Compares the C# declarations of samples/csharp with include/veltrane.h:
// the same exports in the same order, stdcall, exact names, one BStr string
// per BSTR parameter, the stdcall callback delegate taking ANSI text.
//   mono signature-check.exe include/veltrane.h
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Text.RegularExpressions;

static class SignatureCheck
{
    static readonly List<string> problems = new List<string>();

    static void Expect(bool holds, string problem)
    {
        if (!holds) problems.Add(problem);
    }

    static int Main(string[] args)
    {
        var header = File.ReadAllText(args[0]);
        var prototypes = Regex.Matches(header, @"\nvoid __stdcall ([A-Z_]+)\(([^)]*)\);")
            .Cast<Match>()
            .Select(m => new {
                Name = m.Groups[1].Value,
                Parameters = m.Groups[2].Value == "void"
                    ? new string[0]
                    : m.Groups[2].Value.Split(',').Select(p => p.Trim().Split(' ')[0]).ToArray()
            })
            .ToList();
        Expect(prototypes.Count > 0, "no prototypes found in " + args[0]);

        var methods = typeof(Veltrane.NativeMethods)
            .GetMethods(BindingFlags.Public | BindingFlags.Static | BindingFlags.DeclaredOnly)
            .Where(m => (m.Attributes & MethodAttributes.PinvokeImpl) != 0)
            .OrderBy(m => m.MetadataToken)
            .ToList();
        Expect(methods.Select(m => m.Name).SequenceEqual(prototypes.Select(p => p.Name)),
               "exports differ: C# [" + string.Join(" ", methods.Select(m => m.Name)) + "], header [" +
                   string.Join(" ", prototypes.Select(p => p.Name)) + "]");

        foreach (var prototype in prototypes)
        {
            var method = methods.FirstOrDefault(m => m.Name == prototype.Name);
            if (method == null) continue;
            var import = (DllImportAttribute)method.GetCustomAttributes(typeof(DllImportAttribute), false).Single();
            Expect(import.Value == "veltrane.dll", prototype.Name + ": not imported from veltrane.dll");
            Expect(import.CallingConvention == CallingConvention.StdCall, prototype.Name + ": not StdCall");
            Expect(import.ExactSpelling, prototype.Name + ": ExactSpelling is not set");
            Expect(import.EntryPoint == null || import.EntryPoint == prototype.Name,
                   prototype.Name + ": entry point " + import.EntryPoint);
            Expect(method.ReturnType == typeof(void), prototype.Name + ": returns a value");
            var parameters = method.GetParameters();
            Expect(parameters.Length == prototype.Parameters.Length,
                   prototype.Name + ": " + parameters.Length + " parameters, the header has " +
                       prototype.Parameters.Length);
            for (int i = 0; i < Math.Min(parameters.Length, prototype.Parameters.Length); ++i)
            {
                var parameter = parameters[i];
                var where = prototype.Name + " parameter " + (i + 1) + ": ";
                if (prototype.Parameters[i] == "BSTR")
                {
                    var marshal = (MarshalAsAttribute)parameter.GetCustomAttributes(typeof(MarshalAsAttribute), false)
                                      .SingleOrDefault();
                    Expect(parameter.ParameterType == typeof(string), where + "not a string");
                    Expect(marshal != null && marshal.Value == UnmanagedType.BStr, where + "not MarshalAs BStr");
                }
                else if (prototype.Parameters[i] == "VELTRANE_CALLBACK")
                {
                    CheckCallback(parameter.ParameterType, where);
                }
                else
                {
                    problems.Add(where + "unknown header type " + prototype.Parameters[i]);
                }
            }
        }

        foreach (var problem in problems) Console.Error.WriteLine(problem);
        Console.WriteLine(problems.Count == 0 ? prototypes.Count + " exports agree with the header"
                                              : problems.Count + " problems");
        return problems.Count == 0 ? 0 : 1;
    }

    static void CheckCallback(Type type, string where)
    {
        Expect(typeof(Delegate).IsAssignableFrom(type), where + "the callback is not a delegate");
        var convention = (UnmanagedFunctionPointerAttribute)type
            .GetCustomAttributes(typeof(UnmanagedFunctionPointerAttribute), false).SingleOrDefault();
        Expect(convention != null && convention.CallingConvention == CallingConvention.StdCall,
               where + "the callback delegate is not StdCall");
        var invoke = type.GetMethod("Invoke");
        var parameters = invoke.GetParameters();
        Expect(invoke.ReturnType == typeof(void) && parameters.Length == 1,
               where + "the callback takes one argument and returns nothing");
        if (parameters.Length != 1) return;
        var marshal = (MarshalAsAttribute)parameters[0].GetCustomAttributes(typeof(MarshalAsAttribute), false)
                          .SingleOrDefault();
        Expect(parameters[0].ParameterType == typeof(IntPtr) ||
                   (parameters[0].ParameterType == typeof(string) && marshal != null &&
                    marshal.Value == UnmanagedType.LPStr),
               where + "the callback's text is ANSI: string with MarshalAs LPStr, or IntPtr");
    }
}
