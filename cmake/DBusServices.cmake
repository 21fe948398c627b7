# D-Bus activation of the automation server: one .service file per creatable class, so that a
# call to its bus name starts vkm, and a private session-bus configuration that finds them
# (scripts/test.sh runs the tests under it).
set(VKM_AUTOMATION_CLASSES VUZA_VU.Focuser VUZA_VU.Rotator VUZA_VU.Temperature VUZA_VU.Stepper)
set(VKM_DBUS_SERVICE_DIR ${CMAKE_BINARY_DIR}/dbus-services)

foreach(progid IN LISTS VKM_AUTOMATION_CLASSES)
  file(GENERATE OUTPUT ${VKM_DBUS_SERVICE_DIR}/${progid}.service
       CONTENT "[D-BUS Service]\nName=${progid}\nExec=$<TARGET_FILE:vkm>\n")
endforeach()

# The standard session bus, with activation from this build only.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/dbus-session.conf @ONLY CONTENT [=[
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <servicedir>@VKM_DBUS_SERVICE_DIR@</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
  <limit name="service_start_timeout">120000</limit>
  <limit name="max_message_size">1000000000</limit>
  <limit name="max_replies_per_connection">50000</limit>
</busconfig>
]=])
