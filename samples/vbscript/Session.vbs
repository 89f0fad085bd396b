' A whole session from VBScript: Veltrane.Phone polled with WaitEvent, since
' a script run by cscript or wscript has no message loop of its own, and
' Wine's script host cannot connect events (WScript.ConnectObject).
'
'   cscript //nologo Session.vbs <base folder> <phone> <login id> <password> [SMS text]
'
' The base folder holds config.ini (the CTI server's address). The SMS text
' may be Korean: strings are Unicode here and CP949 on the wire. Exits with 0
' when every step got its answer, 1 at the first that did not.
Option Explicit

Dim args, phone
Set args = WScript.Arguments
If args.Count < 4 Then
    WScript.Echo "usage: cscript //nologo Session.vbs <base folder> <phone> <login id> <password>"
    WScript.Quit 2
End If

Set phone = CreateObject("Veltrane.Phone")
WScript.Echo "Veltrane " & phone.Version
phone.WaitEvent 0  ' from now on this object keeps its events for WaitEvent

' Prints every event until one contains the text; gives up after 10 s of silence.
Sub WaitFor(text)
    Dim received
    Do
        received = phone.WaitEvent(10000)
        If received = "" Then
            WScript.Echo "FAIL: no event with " & text
            WScript.Quit 1
        End If
        WScript.Echo received
    Loop Until InStr(received, text) > 0
End Sub

Dim message
message = "Hello from VBScript"
If args.Count > 4 Then message = args(4)

phone.Start args(0)
WaitFor "|conn|connect|"
phone.RegisterPhone args(1)
WaitFor "|certification_no|success|"
phone.Login args(1), args(2), args(3)
WaitFor "|login|success|"
phone.Dial "0311112222"
WaitFor "|calling|S|"
phone.HangUp "0311112222"
WaitFor "|callfinish|S|"
phone.SendSms "01012345678", message
WaitFor "|send|"
phone.Logout
WaitFor "|logout|success|"
phone.Stop  ' Finish would end cscript itself
WaitFor "|dllfinish|success|"
WScript.Echo "OK"
