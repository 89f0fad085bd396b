VERSION 5.00
Begin VB.Form PhoneForm
   Caption         =   "Veltrane"
   ClientHeight    =   3600
   ClientLeft      =   60
   ClientTop       =   345
   ClientWidth     =   6000
   LinkTopic       =   "Form1"
   ScaleHeight     =   3600
   ScaleWidth      =   6000
   StartUpPosition =   3  'Windows Default
   Begin VB.TextBox Number
      Height          =   315
      Left            =   120
      TabIndex        =   0
      Top             =   120
      Width           =   3000
   End
   Begin VB.CommandButton DialButton
      Caption         =   "Dial"
      Height          =   315
      Left            =   3240
      TabIndex        =   1
      Top             =   120
      Width           =   1200
   End
   Begin VB.ListBox Events
      Height          =   2940
      Left            =   120
      TabIndex        =   2
      Top             =   540
      Width           =   5760
   End
End
Attribute VB_Name = "PhoneForm"
Attribute VB_GlobalNameSpace = False
Attribute VB_Creatable = False
Attribute VB_PredeclaredId = True
Attribute VB_Exposed = False
' A VB6 form with Veltrane.Phone and its events. Project > References:
' "Veltrane computer-telephony library" (bin\x86\veltrane.dll registered:
' VB6 is 32-bit). Events arrive on the form's thread, from its message loop.
Option Explicit

Private WithEvents Phone As Veltrane.Phone
Attribute Phone.VB_VarHelpID = -1

Private Sub Form_Load()
    Set Phone = New Veltrane.Phone
    Phone.Start App.Path & "\"
End Sub

Private Sub DialButton_Click()
    Phone.Dial Number.Text
End Sub

Private Sub Form_Unload(Cancel As Integer)
    Phone.Stop  ' Finish would end the program at once, without this form's clean-up
    Set Phone = Nothing
End Sub

Private Sub Phone_HostEvent(ByVal Text As String)
    Events.AddItem Text
End Sub

Private Sub Phone_CallState(ByVal Phone As String, ByVal OtherParty As String, _
                            ByVal State As String, ByVal Direction As String)
    Caption = "Veltrane - " & OtherParty & " " & State
End Sub
