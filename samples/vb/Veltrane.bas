Attribute VB_Name = "VeltraneApi"
' Declarations of veltrane.dll for VB6 and VBA (Office, 32- and 64-bit).
' Not compiled in the library's own build (there is no VB compiler there).
'
' Rules that matter:
' - Never declare the string parameters "ByVal s As String": VB then passes a
'   converted ANSI copy, not the BSTR the library reads, and the library gets
'   garbage. Declare them as pointers (LongPtr; Long in VB6) and pass
'   StrPtr(text), which is the BSTR of the VB string itself.
' - The callback must be a Public Sub in a standard module (this one), passed
'   with AddressOf; VB procedures are stdcall, as the library expects.
' - The host events arrive as 8-bit ANSI text (a pointer); HostEventText turns
'   it into a VB string.
' - The library works through the message loop of the thread that called
'   DLL_START: VB6 forms and Office keep one running. Events arrive on it.
' - DLL_FINISH ends the host process: in Excel, Access or Word it closes the
'   whole application. An Office host simply never calls it.
' - 64-bit Office loads bin\x64\veltrane.dll, 32-bit Office and VB6 bin\x86.
'
' Example:
'   Dim basePath As String, title As String
'   basePath = "C:\Veltrane\": title = "My CRM"
'   DLL_START StrPtr(basePath), StrPtr(title), AddressOf OnHostEvent
'   ...
'   Dim number As String: number = "01012345678"
'   DIAL StrPtr(number)
Option Explicit

#If VBA7 Then
Public Declare PtrSafe Sub DLL_START Lib "veltrane.dll" (ByVal basePath As LongPtr, ByVal windowTitle As LongPtr, ByVal callback As LongPtr)
Public Declare PtrSafe Sub DLL_FINISH Lib "veltrane.dll" ()
Public Declare PtrSafe Sub CERTIFICATION_NO Lib "veltrane.dll" (ByVal phoneNo As LongPtr)
Public Declare PtrSafe Sub CERTIFICATION_OTHER Lib "veltrane.dll" ()
Public Declare PtrSafe Sub CERTIFICATION_PC Lib "veltrane.dll" (ByVal phoneNo As LongPtr, ByVal certificationNo As LongPtr)
Public Declare PtrSafe Sub PC_LOGIN Lib "veltrane.dll" (ByVal phoneNo As LongPtr, ByVal loginId As LongPtr, ByVal password As LongPtr)
Public Declare PtrSafe Sub PC_LOGOUT Lib "veltrane.dll" ()
Public Declare PtrSafe Sub DIAL Lib "veltrane.dll" (ByVal number As LongPtr)
Public Declare PtrSafe Sub PICK_UP Lib "veltrane.dll" (ByVal guestPhone As LongPtr)
Public Declare PtrSafe Sub HANG_UP Lib "veltrane.dll" (ByVal guestPhone As LongPtr)
Public Declare PtrSafe Sub RE_DIAL Lib "veltrane.dll" ()
Public Declare PtrSafe Sub SMS_INSTANT Lib "veltrane.dll" (ByVal calledNo As LongPtr, ByVal message As LongPtr)
Public Declare PtrSafe Sub SMS_BOOKED Lib "veltrane.dll" (ByVal calledNo As LongPtr, ByVal message As LongPtr, ByVal sendTime As LongPtr)
Public Declare PtrSafe Sub CALL_RECORD Lib "veltrane.dll" (ByVal phoneNo As LongPtr)
Public Declare PtrSafe Sub WEB_REQUEST Lib "veltrane.dll" (ByVal kind As LongPtr, ByVal phoneNo As LongPtr, ByVal guestPhone As LongPtr, ByVal smsMessage As LongPtr)
Private Declare PtrSafe Function lstrlenA Lib "kernel32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByRef destination As Any, ByVal source As LongPtr, ByVal length As LongPtr)
#Else
Public Declare Sub DLL_START Lib "veltrane.dll" (ByVal basePath As Long, ByVal windowTitle As Long, ByVal callback As Long)
Public Declare Sub DLL_FINISH Lib "veltrane.dll" ()
Public Declare Sub CERTIFICATION_NO Lib "veltrane.dll" (ByVal phoneNo As Long)
Public Declare Sub CERTIFICATION_OTHER Lib "veltrane.dll" ()
Public Declare Sub CERTIFICATION_PC Lib "veltrane.dll" (ByVal phoneNo As Long, ByVal certificationNo As Long)
Public Declare Sub PC_LOGIN Lib "veltrane.dll" (ByVal phoneNo As Long, ByVal loginId As Long, ByVal password As Long)
Public Declare Sub PC_LOGOUT Lib "veltrane.dll" ()
Public Declare Sub DIAL Lib "veltrane.dll" (ByVal number As Long)
Public Declare Sub PICK_UP Lib "veltrane.dll" (ByVal guestPhone As Long)
Public Declare Sub HANG_UP Lib "veltrane.dll" (ByVal guestPhone As Long)
Public Declare Sub RE_DIAL Lib "veltrane.dll" ()
Public Declare Sub SMS_INSTANT Lib "veltrane.dll" (ByVal calledNo As Long, ByVal message As Long)
Public Declare Sub SMS_BOOKED Lib "veltrane.dll" (ByVal calledNo As Long, ByVal message As Long, ByVal sendTime As Long)
Public Declare Sub CALL_RECORD Lib "veltrane.dll" (ByVal phoneNo As Long)
Public Declare Sub WEB_REQUEST Lib "veltrane.dll" (ByVal kind As Long, ByVal phoneNo As Long, ByVal guestPhone As Long, ByVal smsMessage As Long)
Private Declare Function lstrlenA Lib "kernel32" (ByVal text As Long) As Long
Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByRef destination As Any, ByVal source As Long, ByVal length As Long)
#End If

' The text of a host event (8-bit, ANSI code page) as a VB string.
#If VBA7 Then
Public Function HostEventText(ByVal hostEvent As LongPtr) As String
#Else
Public Function HostEventText(ByVal hostEvent As Long) As String
#End If
    Dim length As Long
    Dim bytes() As Byte
    length = lstrlenA(hostEvent)
    If length = 0 Then Exit Function
    ReDim bytes(0 To length - 1)
    CopyMemory bytes(0), hostEvent, length
    HostEventText = StrConv(bytes, vbUnicode)
End Function

' The callback given to DLL_START with AddressOf OnHostEvent. Keep it short:
' hand the text to a form or a sheet, and do not raise errors out of it.
#If VBA7 Then
Public Sub OnHostEvent(ByVal hostEvent As LongPtr)
#Else
Public Sub OnHostEvent(ByVal hostEvent As Long)
#End If
    On Error Resume Next
    Dim text As String
    text = HostEventText(hostEvent)
    Debug.Print text
End Sub
