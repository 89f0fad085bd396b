# Veltrane.Phone from PowerShell (Windows PowerShell 5.1 or PowerShell 7 of
# the bitness of the registered veltrane.dll). Events two ways:
# Register-ObjectEvent, which PowerShell queues for Get-Event, and WaitEvent,
# which runs the thread's messages while it waits.
#
#   powershell -STA -File Session.ps1 -BasePath C:\Veltrane\ -Phone 0212345678 -LoginId user1 -Password secret
param(
    [Parameter(Mandatory)] [string] $BasePath,
    [Parameter(Mandatory)] [string] $Phone,
    [Parameter(Mandatory)] [string] $LoginId,
    [Parameter(Mandatory)] [string] $Password
)
$ErrorActionPreference = 'Stop'

$line = New-Object -ComObject Veltrane.Phone
Write-Host "Veltrane $($line.Version)"

# Every call's progress as a PowerShell event.
Register-ObjectEvent -InputObject $line -EventName CallState -SourceIdentifier Veltrane.Call | Out-Null

# Waits for an event that contains $Text, printing each; fails after 10 s of silence.
function Wait-HostEvent([string] $Text) {
    while ($true) {
        $received = $line.WaitEvent(10000)
        if ($received -eq '') { throw "no event with $Text" }
        Write-Host $received
        if ($received.Contains($Text)) { return }
    }
}

$line.WaitEvent(0) | Out-Null   # from now on the object keeps events for WaitEvent
$line.Start($BasePath)
Wait-HostEvent '|conn|connect|'
$line.Login($Phone, $LoginId, $Password)
Wait-HostEvent '|login|'
$line.Dial('0311112222')
Wait-HostEvent '|calling|S|'
$line.HangUp('0311112222')
Wait-HostEvent '|callfinish|S|'

Get-Event -SourceIdentifier Veltrane.Call -ErrorAction SilentlyContinue | ForEach-Object {
    Write-Host ("call {0} {1} {2}" -f $_.SourceArgs[1], $_.SourceArgs[2], $_.SourceArgs[3])
    Remove-Event -EventIdentifier $_.EventIdentifier
}
Unregister-Event -SourceIdentifier Veltrane.Call

$line.Logout()
Wait-HostEvent '|logout|'
$line.Stop()   # never Finish: it would end PowerShell itself
Wait-HostEvent '|dllfinish|success|'
[void][System.Runtime.InteropServices.Marshal]::ReleaseComObject($line)
